// tFiscalStreamEvalEcrEventInfo: the table "EcrEventInfo.csv", one line per
// event record of an event entry (drawer opening, master-data change, fiscal
// report reset), keyed by INFO_KEY and linked to its block and registration.
#pragma once

#include <memory>

#include "idea/FiscalStreamPickerIDEA.h"

class tFiscalStreamEvalEcrEventInfo final : public tFiscalStreamPickerIDEA {
 public:
  tFiscalStreamEvalEcrEventInfo(tIdeaContext& context, std::unique_ptr<tKvFiscalStreamPicker> next);
  void Header(const tFiscHeaderRec& rec) override;
  void Event(const tFiscEventRec& rec) override;

 private:
  tFileHdlCSV& CsvFile;
};
