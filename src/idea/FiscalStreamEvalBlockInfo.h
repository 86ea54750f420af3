// tFiscalStreamEvalBlockInfo: the table "BlockInfo.csv", one line per block
// of the journal in journal order, keyed by BLK_KEY 1, 2, 3 ...; the link
// target of every table that belongs to a block. A block of a text input
// whose header reports an evaluation error is logged as an error.
#pragma once

#include <memory>

#include "idea/FiscalStreamPickerIDEA.h"

class tFiscalStreamEvalBlockInfo final : public tFiscalStreamPickerIDEA {
 public:
  tFiscalStreamEvalBlockInfo(tIdeaContext& context, std::unique_ptr<tKvFiscalStreamPicker> next);
  void BlockStart(const tKvKPosBlockInfoRec& block) override;

 private:
  tFileHdlCSV& CsvFile;
};
