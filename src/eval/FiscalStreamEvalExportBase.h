// tFiscalStreamEvalExportBase: the evaluator both exporters derive from. It
// assembles the fiscal records like every extended evaluator and reports, at
// the end of each block, that the block carried data no record took: an
// empty log line and the hint "Unhandled data found!". The conversion run
// shares its records with the journal view and the audit ledger
// (ShareRecords), which assemble none of their own. The log is borrowed
// and must outlive the evaluator. An exporter and all it owns (its files,
// libxml2 documents, the OpenSSL digest context) run on the one thread that
// drives the evaluator chain (KvFiscalStreamEval.h) and are shared with no
// other.
#pragma once

#include <cstdint>
#include <memory>

#include "eval/KvFiscalStreamEvalExt.h"

class tKvLog;

class tFiscalStreamEvalExportBase : public tKvFiscalStreamEvalExt {
 public:
  // picker: the first picker of the exporter's chain, owned by the
  // subclass (see tKvFiscalStreamEvalExt); next: the rest of the chain.
  tFiscalStreamEvalExportBase(tKvLog& log, tKvFiscalStreamPicker* picker,
                              std::unique_ptr<tKvFiscalStreamEval> next);
  ~tFiscalStreamEvalExportBase() override;

  void UnhandledField(int32_t id, const tKvKPosData& element) override;
  void BlockEnd() override;

 protected:
  tKvLog& Log;

 private:
  bool UnhandledSeen = false;
};
