// tRunScope: what a conversion run covered, for the hand-over package's
// cover note: the registers, the business days and the closing and receipt
// numbers of the journal. tRunScopePicker fills it from the records the
// exporter assembles (it shares them; it is added only when a package is
// asked for). Both run on the thread that drives the chain; the scope is
// read after the chain was closed.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "eval/KvFiscalStreamPicker.h"
#include "stream/KvTypes.h"

struct tRunScope {
  struct tRegister {
    std::string Number;  // register number (digits)
    int32_t SerialNo = 0;
    std::string Name;  // Windows-1252
  };
  std::vector<tRegister> Registers;  // in the order first seen
  // The business day is the date of a period's closing (registration end).
  tKvDateTime FirstBusinessDay, LastBusinessDay;
  int32_t FirstClosingNo = 0, LastClosingNo = 0;  // sequence numbers of the closings
  int32_t FirstReceiptNo = 0, LastReceiptNo = 0;  // document numbers of the transactions
  int64_t Closings = 0;
  int64_t Transactions = 0;
};

class tRunScopePicker final : public tKvFiscalStreamPicker {
 public:
  // scope: borrowed, must outlive the picker.
  explicit tRunScopePicker(tRunScope& scope) : scope_(scope) {}

  void BlockStart(const tKvKPosBlockInfoRec& block) override;
  void Header(const tFiscHeaderRec& rec) override;

 private:
  tRunScope& scope_;
};
