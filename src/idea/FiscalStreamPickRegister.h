// tFiscalStreamPickRegister: the table "Register.csv", one line per
// registration entry (registration start, registration end, fiscal report)
// that delivered its header, keyed by REG_KEY; the link target of the
// report lines (a header without a date gets an empty date field and a
// warning). Registration ends are checked for consecutive sequence numbers
// within a run of blocks that continue each other; a gap is logged as an
// error and never stops the export.
#pragma once

#include <cstdint>
#include <memory>

#include "idea/FiscalStreamPickerIDEA.h"

class tFiscalStreamPickRegister final : public tFiscalStreamPickerIDEA {
 public:
  tFiscalStreamPickRegister(tIdeaContext& context, std::unique_ptr<tKvFiscalStreamPicker> next);
  void Header(const tFiscHeaderRec& rec) override;
  void EntryEnd() override;
  void BlockStart(const tKvKPosBlockInfoRec& block) override;

 private:
  bool SequenceContinues(const tFiscHeaderRec& rec) const;

  tFileHdlCSV& CsvFile;
  int32_t LastRegSeqNo = 0;
  bool RegSeqRestart = false;
};
