// tFiscalStreamWriterTypeDependent: the writer that bridges a producer into
// the evaluator chain and lets only the entries of the wanted fiscal journal
// types through. An entry of any other type is held back from the evaluator
// up to its end and reported once to the log as a warning. It borrows the
// log and the evaluator; the writer chain behind it is owned.
#pragma once

#include <bitset>
#include <cstdint>
#include <memory>

#include "eval/KvFiscalStreamWriterEval.h"

class tLog;

class tFiscalStreamWriterTypeDependent final : public tKvFiscalStreamWriterEval {
 public:
  // A set of fiscal journal types (0..255).
  using tTypeSet = std::bitset<256>;

  // log may be null (no warnings are written); "*log" and "*eval" must
  // outlive the writer. eval is required (EKvParam as in the base).
  tFiscalStreamWriterTypeDependent(const tTypeSet& types, tLog* log, bool skipRepeatedBlocks,
                                   tKvFiscalStreamEval* eval,
                                   std::unique_ptr<tKvKPosFiscalStreamWriter> nextWriter);
  ~tFiscalStreamWriterTypeDependent() override;

  // Holds back the entry when its Type is not one of Types (warning
  // "=> Warning: Unexpected fiscal type: <caption> (<type>) (<type>) -> ignored!"),
  // then passes the event on.
  void EntryStart(const tKvKPosEntryInfoRec& info) override;

  const tTypeSet& types() const { return types_; }

 private:
  tTypeSet types_;
  tLog* log_;  // not owned, may be null
};
