#include "eval/FiscalStreamEvalExportBase.h"

#include <utility>

#include "base/KvLog.h"

tFiscalStreamEvalExportBase::tFiscalStreamEvalExportBase(tKvLog& log,
                                                         tKvFiscalStreamPicker* picker,
                                                         std::unique_ptr<tKvFiscalStreamEval> next)
    : tKvFiscalStreamEvalExt(picker, std::move(next)), Log(log) {}

tFiscalStreamEvalExportBase::~tFiscalStreamEvalExportBase() { CloseQuietly(); }

void tFiscalStreamEvalExportBase::UnhandledField(int32_t id, const tKvKPosData& element) {
  UnhandledSeen = true;
  tKvFiscalStreamEvalExt::UnhandledField(id, element);
}

void tFiscalStreamEvalExportBase::BlockEnd() {
  if (UnhandledSeen) {
    Log.Add({}, tKvLog::kPlain);
    Log.Add("Unhandled data found!", tKvLog::kHint);
  }
  UnhandledSeen = false;
  tKvFiscalStreamEvalExt::BlockEnd();
}
