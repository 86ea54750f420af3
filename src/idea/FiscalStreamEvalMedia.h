// tFiscalStreamEvalMedia: the payment tables, one line per payment of a
// transaction, numbered by REC_NO within it and linked to its header line.
// Three files by transaction category: "TransactMedia.csv",
// "BookMemMedia.csv" and "MiscTransMedia.csv".
#pragma once

#include <array>
#include <cstdint>
#include <memory>

#include "idea/FiscalStreamPickerIDEA.h"

class tFiscalStreamEvalMedia final : public tFiscalStreamPickerIDEA {
 public:
  tFiscalStreamEvalMedia(tIdeaContext& context, std::unique_ptr<tKvFiscalStreamPicker> next);
  void Header(const tFiscHeaderRec& rec) override;
  void Payment(const tFiscPaymentRec& rec) override;

 private:
  tIdeaCategoryFiles CsvFiles;
  int32_t RecNo = 0;
};
