#include "app/FiscalStreamWriterTypeDependent.h"

#include <string>
#include <utility>

#include "app/ConversionRun.h"
#include "app/Log.h"
#include "base/KvErrorCodes.h"
#include "eval/FiscCaptions.h"

tFiscalStreamWriterTypeDependent::tFiscalStreamWriterTypeDependent(
    const tTypeSet& types, tLog* log, bool skipRepeatedBlocks, tKvFiscalStreamEval* eval,
    std::unique_ptr<tKvKPosFiscalStreamWriter> nextWriter)
    : tKvFiscalStreamWriterEval(skipRepeatedBlocks, std::move(nextWriter), eval),
      types_(types),
      log_(log) {}

tFiscalStreamWriterTypeDependent::~tFiscalStreamWriterTypeDependent() = default;

void tFiscalStreamWriterTypeDependent::EntryStart(const tKvKPosEntryInfoRec& info) {
  CheckInterrupt();
  const bool wanted =
      info.Type >= 0 && info.Type <= 255 && types_.test(static_cast<size_t>(info.Type));
  set_skip_entry(!wanted);
  if (!wanted && log_ != nullptr) {
    log_->Add(
        ReplaceParams("=> Warning: Unexpected fiscal type: %1 (%2) -> ignored!",
                      FiscJournalTypeText(info.Type, false) + '\r' + std::to_string(info.Type)),
        tLog::kWarning);
  }
  tKvFiscalStreamWriterEval::EntryStart(info);
}
