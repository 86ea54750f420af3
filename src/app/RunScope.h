// tRunScope: what a conversion run covered, for the hand-over package's
// cover note: the registers, the business days and the closing and receipt
// numbers of the journal. tFiscalStreamEvalScope fills it while the chain
// runs; it joins the chain only when a package is asked for (it assembles
// the records once more). Both run on the thread that drives the chain; the
// scope is read after the chain was closed.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "eval/KvFiscalStreamEvalExt.h"
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

class tFiscalStreamEvalScope final : public tKvFiscalStreamEvalExt {
 public:
  // scope: borrowed, must outlive the evaluator.
  tFiscalStreamEvalScope(tRunScope& scope, std::unique_ptr<tKvFiscalStreamEval> next);
  ~tFiscalStreamEvalScope() override;

 private:
  class tPicker;
  tFiscalStreamEvalScope(std::unique_ptr<tPicker> picker,
                         std::unique_ptr<tKvFiscalStreamEval> next);
  std::unique_ptr<tPicker> picker_;
};
