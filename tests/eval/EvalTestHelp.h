// Test helpers for the evaluator framework: a picker that renders every call
// as one token and keeps copies of the records, a script that drives an
// evaluator with writer-like events, a log that keeps its entries, and Row()
// to compare many record fields in one readable line.
//
// Script tokens, separated by blanks:
//   B<id> BlockStart   E EntryStart (journal type 1)   e EntryEnd   H FileHeader
//   V<index>,<value> SetVersion   R<id>@<level> RecordStart
//   F<id>=<kind>:<v> Field: kind i integer, b decimal, f digits, s text ("_"
//                    for a blank), t date-time seconds, x binary (hex digits)
#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <sstream>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "base/KvLog.h"
#include "eval/KvFiscalStreamEval.h"
#include "eval/KvFiscalStreamPicker.h"
#include "stream/KvBcd.h"
#include "stream/KvKPosComStreamData.h"

namespace eval_test {

// Keeps "<kind>:<text>" per entry; writes every kind.
class tRecordingLog final : public tKvLog {
 public:
  void BeginSection(std::string_view text, int kind) override { Add(text, kind); }
  void EndSection(std::string_view text, int kind) override { Add(text, kind); }
  void Add(std::string_view text, int kind) override {
    Lines.push_back(std::to_string(kind) + ":" + std::string(text));
  }
  bool IsWritten(int) const override { return true; }
  std::vector<std::string> Lines;
};

// Appends every call to *log and keeps the records. SetEntryType is not a
// slot: it is noticed by the type it leaves, and written as
// "SetEntryType(<code>)" before the next call once the type has changed.
class tRecordingPicker : public tKvFiscalStreamPicker {
 public:
  explicit tRecordingPicker(std::string* log, std::string name = {},
                            std::unique_ptr<tKvFiscalStreamPicker> next = nullptr)
      : tKvFiscalStreamPicker(std::move(next)), log_(log), name_(std::move(name)) {
    SetEntryType(Unset());
  }

#define EVAL_TEST_RECORD(Op, Rec, list) \
  std::vector<Rec> list;                \
  void Op(const Rec& rec) override {    \
    Note(#Op);                          \
    list.push_back(rec);                \
    tKvFiscalStreamPicker::Op(rec);     \
  }
  EVAL_TEST_RECORD(Header, tFiscHeaderRec, Headers)
  EVAL_TEST_RECORD(SaleItem, tFiscSaleItemRec, SaleItems)
  EVAL_TEST_RECORD(PLULink, tFiscPLULinkRec, Links)
  EVAL_TEST_RECORD(Adjust, tFiscAdjustRec, Adjusts)
  EVAL_TEST_RECORD(Deposit, tFiscDepositRec, Deposits)
  EVAL_TEST_RECORD(Closing, tFiscClosingRec, Closings)
  EVAL_TEST_RECORD(Payment, tFiscPaymentRec, Payments)
  EVAL_TEST_RECORD(Signature, tFiscSignatureRec, Signatures)
  EVAL_TEST_RECORD(ReportCounters, tFiscReportCountersRec, Counters)
  EVAL_TEST_RECORD(ReportTax, tFiscReportTaxRec, Taxes)
  EVAL_TEST_RECORD(ReportMedia, tFiscReportMediaRec, Media)
  EVAL_TEST_RECORD(Event, tFiscEventRec, Events)
#undef EVAL_TEST_RECORD

  std::vector<tFiscReportGroupRec> Groups;
  void ReportGroup(const tFiscReportGroupRec& rec, int32_t selector) override {
    Note("ReportGroup(" + std::to_string(selector) + ")");
    Groups.push_back(rec);
    tKvFiscalStreamPicker::ReportGroup(rec, selector);
  }
  void BlockEnd() override { Note("BlockEnd"), tKvFiscalStreamPicker::BlockEnd(); }
  void EntryEnd() override { Note("EntryEnd"), tKvFiscalStreamPicker::EntryEnd(); }
  void FileHeader(const tKvKPosTextFileHeaderRec& header) override {
    Note("FileHeader"), tKvFiscalStreamPicker::FileHeader(header);
  }
  void BlockStart(const tKvKPosBlockInfoRec& block) override {
    Note("BlockStart(" + std::to_string(block.ID) + ")");
    tKvFiscalStreamPicker::BlockStart(block);
  }
  void EntryStart(const tKvKPosEntryInfoRec& entry) override {
    Note("EntryStart");
    SetEntryType(Unset());
    seen_ = Unset();
    tKvFiscalStreamPicker::EntryStart(entry);
  }

 private:
  static tKvKPosFiscalType Unset() {
    tKvKPosFiscalType t;
    t.Code = -999;
    return t;
  }
  void Note(const std::string& call) {
    if (!(entry_type() == seen_)) {
      seen_ = entry_type();
      Append("SetEntryType(" + std::to_string(seen_.Code) + ")");
    }
    Append(call);
  }
  void Append(const std::string& token) { *log_ += (log_->empty() ? "" : " ") + name_ + token; }

  std::string* log_;
  std::string name_;
  tKvKPosFiscalType seen_ = Unset();
};

// Writes "<name><operation>[(<arguments>)]" to *log for every operation,
// then does what the base does. Quiet: BlockEnd, EntryCompleted and
// LevelClosed, which the base calls itself, are not written.
class tRecordingEval : public tKvFiscalStreamEval {
  using Base = tKvFiscalStreamEval;

 public:
  explicit tRecordingEval(std::string* log, std::string name = {}, bool quiet = false,
                          std::unique_ptr<Base> next = nullptr)
      : Base(std::move(next)), log_(log), name_(std::move(name)), quiet_(quiet) {}
  ~tRecordingEval() override { CloseQuietly(); }

  void BlockEnd() override {
    if (!quiet_) Note("BlockEnd");
    if (FailBlockEnd) throw std::runtime_error("block end failed");
    Base::BlockEnd();
  }
  void EntryCompleted() override {
    if (!quiet_) Note("EntryCompleted");
  }
  void LevelClosed(int32_t level, int32_t id, bool end) override {
    if (!quiet_) Note("LevelClosed", {level, id}, end ? ",end" : "");
    Base::LevelClosed(level, id, end);
  }
  void Text(std::string_view t) override { Note("Text"), Base::Text(t); }
  void FileHeader(const tKvKPosTextFileHeaderRec& h) override { Note("Hdr"), Base::FileHeader(h); }
  void SetVersion(int32_t i, int32_t v) override { Note("Ver", {i, v}), Base::SetVersion(i, v); }
  void BlockStart(const tKvKPosBlockInfoRec& b) override {
    Note("Blk", {b.ID}), Base::BlockStart(b);
  }
  void EntryStart(const tKvKPosEntryInfoRec& e) override {
    Note("Jnl", {e.Type}), Base::EntryStart(e);
  }
  void EntryEnd() override { Note("EoE"), Base::EntryEnd(); }
  void Link(int32_t d) override { Note("Link", {d}), Base::Link(d); }
  void RecordStart(int32_t id, int32_t l) override {
    Note("Rec", {id, l}), Base::RecordStart(id, l);
  }
  void Field(int32_t id, const tKvKPosData& e) override {
    Note("Fld", {id}, "=" + e.GetText(true)), Base::Field(id, e);
  }

  bool FailBlockEnd = false;

 private:
  void Note(const char* what, std::initializer_list<int32_t> args = {},
            const std::string& tail = {}) {
    *log_ += (log_->empty() ? "" : " ") + name_ + what;
    const char* sep = "(";
    for (const int32_t a : args) *log_ += sep + std::to_string(a), sep = ",";
    if (args.size() > 0) *log_ += tail + ")";
  }
  std::string* log_;
  std::string name_;
  bool quiet_;
};

inline std::unique_ptr<tKvKPosData> MakeElement(char kind, const std::string& value) {
  switch (kind) {
    case 'i':
      return std::make_unique<tKvKPosDataInt>(std::stoi(value));
    case 'b':
      return std::make_unique<tKvKPosDataBcd>(tKvBcd::FromText(value));
    case 'f':
      return std::make_unique<tKvKPosDataBcdFix>(tKvBcdFix::FromText(value));
    case 't':
      return std::make_unique<tKvKPosDataTime>(tKvDateTime(std::stoll(value)));
    case 'x': {
      std::string bytes;
      for (size_t i = 0; i + 1 < value.size(); i += 2) {
        bytes += static_cast<char>(std::stoi(value.substr(i, 2), nullptr, 16));
      }
      return std::make_unique<tKvKPosDataBinary>(bytes);
    }
    default: {
      std::string text = value;
      for (char& c : text) c = c == '_' ? ' ' : c;
      return std::make_unique<tKvKPosDataStr>(text);
    }
  }
}

// Runs a script (see the header comment) against eval.
inline void Play(tKvFiscalStreamEval& eval, const std::string& script) {
  std::istringstream in(script);
  for (std::string token; in >> token;) {
    int a = 0, b = 0, used = 0;
    char kind = 0;
    const char* rest = token.c_str() + 1;
    tKvKPosBlockInfoRec block;
    tKvKPosEntryInfoRec entry;
    if (token == "E") {
      entry.Type = 1, eval.EntryStart(entry);
    } else if (token == "e") {
      eval.EntryEnd();
    } else if (token == "H") {
      eval.FileHeader({});
    } else if (token[0] == 'B' && std::sscanf(rest, "%d", &a) == 1) {
      block.ID = a, eval.BlockStart(block);
    } else if (token[0] == 'V' && std::sscanf(rest, "%d,%d", &a, &b) == 2) {
      eval.SetVersion(a, b);
    } else if (token[0] == 'R' && std::sscanf(rest, "%d@%d", &a, &b) == 2) {
      eval.RecordStart(a, b);
    } else if (token[0] == 'F' && std::sscanf(rest, "%d=%c:%n", &a, &kind, &used) == 2 && used) {
      eval.Field(a, *MakeElement(kind, rest + used));
    } else {
      throw std::invalid_argument("bad script token: " + token);
    }
  }
}

// Row(a, b, ...) renders values as "a|b|...": integers and flags (1/0) as
// numbers, decimals compact, digits and texts as they are, date-times as
// seconds.
inline std::string Str(int64_t v) { return std::to_string(v); }
inline std::string Str(const tKvBcd& v) { return v.Text(true); }
inline std::string Str(const tKvBcdFix& v) { return v.Text(); }
inline std::string Str(const tKvDateTime& v) { return std::to_string(v.Value); }
inline std::string Str(std::string_view v) { return std::string(v); }
template <size_t N>
std::string Str(const tKvFixedText<N>& v) {
  return v.str();
}
// Composite values: their parts separated by "/".
inline std::string Str(const tFiscBytes& v) { return std::string(v.View()); }
inline std::string Str(const tFiscNumTextRec& v) { return Str(v.Number) + "/" + Str(v.Name); }
inline std::string Str(const tFiscIdTextRec& v) { return Str(v.Number) + "/" + Str(v.Name); }
inline std::string Str(const tFiscCurrencyRec& v) {
  return Str(v.IsoCode) + "/" + Str(v.IsoNo) + "/" + Str(v.Extra);
}
inline std::string Str(const tFiscCounterRec& v) {
  return Str(v.Count) + "/" + Str(v.Amount) + "/" + Str(v.Flag);
}
inline std::string Str(const tFiscItemTaxRec& v) {
  return Str(v.Used) + "/" + Str(v.TaxIndex) + "/" + Str(v.Amount);
}
inline std::string Str(const tFiscModifierRec& v) { return Str(v.Modifier) + "/" + Str(v.Amount); }
// Modifiers as "[m1,m2]".
inline std::string Str(const tFiscPluModifierArr& v) {
  std::string out = "[";
  for (int32_t i = 1; i <= v.Count(); ++i) out += (i > 1 ? "," : "") + Str(v.Get(i));
  return out + "]";
}
template <typename... T>
std::string Row(const T&... values) {
  std::string out;
  int n = 0;
  ((out += (n++ ? "|" : "") + Str(values)), ...);
  return out;
}

}  // namespace eval_test
