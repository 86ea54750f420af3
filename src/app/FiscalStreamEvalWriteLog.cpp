#include "app/FiscalStreamEvalWriteLog.h"

#include <string>

#include "app/Log.h"
#include "base/KvErrorCodes.h"
#include "base/KvErrors.h"
#include "eval/FiscCaptions.h"
#include "platform/RegionalSettings.h"
#include "stream/KvKPosComStreamData.h"

namespace {

// The date in the regional short date format, two blanks, the time in the
// regional long time format.
std::string DateTimeText(const tKvDateTime& value) {
  const platform::RegionalSettings& reg = platform::Regional();
  return value.Format(reg.ShortDateFormat) + "  " + value.Format(reg.LongTimeFormat);
}

}  // namespace

tFiscalStreamEvalWriteLog::tFiscalStreamEvalWriteLog(tLog* log,
                                                     std::unique_ptr<tKvFiscalStreamEval> next,
                                                     tRecordPath path)
    : tKvFiscalStreamEval(std::move(next)), Log(log), path_(path) {
  if (Log == nullptr) throw EKvParam(this, "tFiscalStreamEvalWriteLog.Create: invalid Log");
}

tFiscalStreamEvalWriteLog::~tFiscalStreamEvalWriteLog() { CloseQuietly(); }

void tFiscalStreamEvalWriteLog::UnhandledField(int32_t id, const tKvKPosData& element) {
  std::string ids;
  for (int32_t level = 1; path(level) > 0; ++level) {
    if (level > 1) ids += '/';
    ids += std::to_string(path(level));
  }
  // Built directly rather than through ReplaceParams: the value is journal
  // text and may itself hold a line break or a "%2".
  Log->Add("=> Warning: Unhandled data [" + ids + "=" + element.GetText(false) + "]!",
           tLog::kWarning);
  tKvFiscalStreamEval::UnhandledField(id, element);
}

void tFiscalStreamEvalWriteLog::RecordStart(int32_t id, int32_t level) {
  if (path_ == tRecordPath::kKept) {
    tKvFiscalStreamEval::RecordStart(id, level);
  } else {
    PassRecordStart(id, level);
  }
}

void tFiscalStreamEvalWriteLog::Field(int32_t id, const tKvKPosData& element) {
  if (path_ == tRecordPath::kKept) {
    tKvFiscalStreamEval::Field(id, element);
  } else {
    PassField(id, element);
  }
}

void tFiscalStreamEvalWriteLog::BlockEnd() {
  if (BlockLogged && Log->enabled()) {
    Log->Add({}, tLog::kPlain);
    Log->EndSection("(End of block)", tLog::kPlain);
  }
  LastBlockID = block().ID;
  LastEcrNr = block().EcrNr;
  LastSerNr = block().SerNr;
  BlockLogged = false;
  tKvFiscalStreamEval::BlockEnd();
}

void tFiscalStreamEvalWriteLog::BlockStart(const tKvKPosBlockInfoRec& info) {
  tKvFiscalStreamEval::BlockStart(info);
  Log->Add({}, tLog::kPlain);
  std::string line = "Block: ID=" + std::to_string(info.ID);
  line += "; EcrAddr=" + std::to_string(info.EcrAddr);
  line += "; DateTime=" + std::to_string(info.DateTime.Value) + " [" + DateTimeText(info.DateTime) +
          "]";
  line += "; RegStartDT=" + std::to_string(info.RegStartDT.Value) + " [" +
          DateTimeText(info.RegStartDT) + "]";
  line += "; RegEndDT=" + std::to_string(info.RegEndDT.Value) + " [" + DateTimeText(info.RegEndDT) +
          "]";
  line += "; EcrNr=" + info.EcrNr.Text();
  line += "; SerNr=" + std::to_string(info.SerNr);
  line += "; EcrName=";
  line += info.EcrName.view();
  line += "; HwID=" + std::to_string(info.HwID);
  line += "; FiscJnlType=" + std::to_string(info.FiscJnlType);
  line += "; SwVer=";
  line += info.SwVer.view();
  line += "; DataSign=(Len=" + std::to_string(info.DataSign.Length) + ")";
  if (Log->enabled()) {
    Log->BeginSection(line, tLog::kBlock);
  } else {
    Log->Add(line, tLog::kBlock);
  }
  CheckContinuity(info);
  ++Blocks;
  BlockLogged = true;
  LastEntry = tKvKPosEntryInfoRec{};
  entry_logged_ = false;
}

void tFiscalStreamEvalWriteLog::CheckContinuity(const tKvKPosBlockInfoRec& info) {
  if (info.EcrNr.IsZero()) {
    Log->Add("=> Warning: ECR number missing!", tLog::kWarning);
    return;
  }
  if (!(info.EcrNr == LastEcrNr)) return;  // another register: nothing to compare
  if (LastSerNr > 0 && info.SerNr != LastSerNr) {
    Log->Add("  " + ReplaceParams("=> Warning: Serial number not identical: %1/%2!",
                                  std::to_string(info.SerNr) + '\r' + std::to_string(LastSerNr)),
             tLog::kWarning);
  } else if (LastBlockID > 0 && int64_t{info.ID} != int64_t{LastBlockID} + 1) {
    Log->Add("  " + ReplaceParams("=> Warning: Block number not consecutive: %1/%2!",
                                  std::to_string(info.ID) + '\r' + std::to_string(LastBlockID)),
             tLog::kWarning);
  }
}

void tFiscalStreamEvalWriteLog::EntryStart(const tKvKPosEntryInfoRec& info) {
  tKvFiscalStreamEval::EntryStart(info);
  // The first entry of a block is always written, also when its header
  // happens to equal the cleared one.
  if (!entry_logged_ || !(info == LastEntry)) {
    Log->Add(
        ReplaceParams("Entry: Type=%1 (%2); Ver=%3; VerMin=%4; Codepage=%5",
                      std::to_string(info.Type) + '\r' + FiscJournalTypeText(info.Type, false) +
                          '\r' + std::to_string(info.Ver) + '\r' + std::to_string(info.VerMin) +
                          '\r' + std::to_string(info.Codepage)),
        tLog::kEntry);
    Log->Add({}, tLog::kEntry);
  }
  LastEntry = info;
  entry_logged_ = true;
}

void tFiscalStreamEvalWriteLog::Finish() {
  tKvFiscalStreamEval::Finish();
  Log->Add({}, tLog::kPlain);
  std::string label = "  Processed blocks: ";
  label.resize(40, ' ');
  Log->Add(label + std::to_string(Blocks), tLog::kPlain);
}
