#include "app/FiscalDataParserNative.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <exception>
#include <memory>
#include <optional>
#include <string>
#include <utility>

#include "app/PeriodSelection.h"
#include "base/KvErrorCodes.h"
#include "base/KvErrors.h"
#include "base/KvLog.h"
#include "eval/KvFiscalDataText.h"
#include "stream/KvBcd.h"
#include "stream/KvKPosComStreamData.h"
#include "stream/KvKPosEventPipe.h"
#include "stream/KvKPosFiscalStreamWriter.h"

namespace {

using kv_text::ParseInt32Lenient;
using kv_text::ParseIntLenient;
using kv_text::Trim;
using kv_text::TrimLeft;
using kv_text::TrimRight;

// Characters the splitting rule looks at: group quotes and brackets, and the
// three separators it splits at.
enum : uint8_t {
  kQuote = 1,
  kOpen = 2,
  kClose = 4,
  kSepBlank = 8,
  kSepEquals = 16,
  kSepSemicolon = 32,
  kDigit = 64,     // not looked at by the splitting rule: the usual tokens
  kTagChar = 128,  // letters and ":"
};
constexpr std::array<uint8_t, 256> kCharClass = [] {
  std::array<uint8_t, 256> table{};
  table['"'] = table['\''] = kQuote;
  table['('] = table['['] = table['{'] = kOpen;
  table[')'] = table[']'] = table['}'] = kClose;
  table[' '] = kSepBlank;
  table['='] = kSepEquals;
  table[';'] = kSepSemicolon;
  for (int c = '0'; c <= '9'; ++c) table[c] = kDigit;
  for (int c = 'A'; c <= 'Z'; ++c) table[c] = table[c + 32] = kTagChar;
  table[':'] = kTagChar;
  return table;
}();

constexpr uint8_t ClassOf(char c) { return kCharClass[static_cast<unsigned char>(c)]; }

constexpr char CloserOf(char open) { return open == '(' ? ')' : open == '[' ? ']' : '}'; }

// Index after the quote group that opens at text[i] (no nesting inside; an
// unclosed group runs to the end).
size_t SkipQuoted(std::string_view text, size_t i) {
  const size_t close = text.find(text[i], i + 1);
  return close == std::string_view::npos ? text.size() : close + 1;
}

constexpr char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; }

bool EqualsNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (Lower(a[i]) != Lower(b[i])) return false;
  }
  return true;
}

// A word of at most 7 bytes, its letters in lower case, packed with its
// length into one number, so that keywords and tags are matched without
// regard to case by one switch; 0 for longer words.
constexpr uint64_t PackLower(std::string_view word) {
  if (word.size() > 7) return 0;
  uint64_t packed = uint64_t{word.size()} << 56;
  for (size_t i = 0; i < word.size(); ++i) {
    packed |= uint64_t{static_cast<unsigned char>(Lower(word[i]))} << (8 * i);
  }
  return packed;
}

// A text of the input for a message, cut to a readable length.
std::string Quoted(std::string_view text) {
  constexpr size_t kMax = 40;
  std::string out = "\"";
  out += text.substr(0, kMax);
  if (text.size() > kMax) out += "...";
  out += '"';
  return out;
}

enum class tKeyword { kFld, kCmd, kVer, kHdr, kBlk, kJnl, kEoE, kNone };

// word spelled exactly so, compared with a fixed size: no call. The
// spelling the exporting terminal writes is tried first this way, before
// the comparison without regard to case.
template <size_t N>
bool SpelledAs(std::string_view word, const char (&spelling)[N]) {
  return word.size() == N - 1 && std::memcmp(word.data(), spelling, N - 1) == 0;
}

tKeyword MatchKeyword(std::string_view word) {
  switch (PackLower(word)) {
    case PackLower("fld:"):
      return tKeyword::kFld;
    case PackLower("cmd:"):
      return tKeyword::kCmd;
    case PackLower("ver:"):
      return tKeyword::kVer;
    case PackLower("hdr:"):
      return tKeyword::kHdr;
    case PackLower("blk:"):
      return tKeyword::kBlk;
    case PackLower("jnl:"):
      return tKeyword::kJnl;
    case PackLower("eoe"):
      return tKeyword::kEoE;
    default:
      return tKeyword::kNone;
  }
}

// The field type tags the format knows, numbered 1 to 16 in this order:
// "MUL:", "INT:", "ADD:", "BCD:", "BCDF:", "BS:", "TX:", "TCH:", "TI:",
// "DT:", "BCDW:", "TXAI:", "BCDD:", "BIN:", "CMD:", "HEX:". Only the six
// below are values of a field line.
enum : int {
  kTagInt = 2,
  kTagBcd = 4,
  kTagBcdFix = 5,
  kTagText = 7,
  kTagTime = 9,
  kTagBinary = 14
};

// The number of a tag accepted in a field line, 0 for any other. The tag
// is first compared as the exporting terminal writes it, then without
// regard to case.
int MatchFieldTag(std::string_view tag) {
  if (SpelledAs(tag, "BCD:")) return kTagBcd;
  if (SpelledAs(tag, "TX:")) return kTagText;
  if (SpelledAs(tag, "INT:")) return kTagInt;
  if (SpelledAs(tag, "TI:")) return kTagTime;
  if (SpelledAs(tag, "BCDF:")) return kTagBcdFix;
  switch (PackLower(tag)) {
    case PackLower("int:"):
      return kTagInt;
    case PackLower("bcd:"):
      return kTagBcd;
    case PackLower("bcdf:"):
      return kTagBcdFix;
    case PackLower("tx:"):
      return kTagText;
    case PackLower("ti:"):
      return kTagTime;
    case PackLower("bin:"):
      return kTagBinary;
    default:
      return 0;
  }
}

// Digits only, 1 to maxDigits of them.
bool ReadNumber(std::string_view text, size_t maxDigits, int& value) {
  if (text.empty() || text.size() > maxDigits) return false;
  int v = 0;
  for (const char c : text) {
    if (c < '0' || c > '9') return false;
    v = v * 10 + (c - '0');
  }
  value = v;
  return true;
}

// Splits text at sep into exactly count parts (count <= 3); false when the
// number of parts differs.
bool SplitParts(std::string_view text, char sep, size_t lowest, size_t count,
                std::array<std::string_view, 3>& parts, size_t& found) {
  found = 0;
  for (;;) {
    const size_t at = text.find(sep);
    if (found == count) return false;
    parts[found++] = text.substr(0, at);
    if (at == std::string_view::npos) break;
    text.remove_prefix(at + 1);
  }
  return found >= lowest;
}

// Damaged entries.
constexpr std::string_view kEndsInsideEntry =
    "=> Error: The journal ends inside the entry that begins in line %1!";
constexpr std::string_view kEntryWithoutEnd =
    "=> Error: The entry that begins in line %1 has no end!";
constexpr std::string_view kEndWithoutEntry =
    "=> Error: Line %1 ends an entry that has no beginning!";

tKvBcd BcdValue(std::string_view text) {
  try {
    return tKvBcd::FromText(text);
  } catch (const EStBCDError&) {
    return tKvBcd{};  // a malformed amount reads as zero
  }
}

}  // namespace

// ---- Values ----------------------------------------------------------------

tKvDateTime NativeDateValue(std::string_view text) {
  std::array<std::string_view, 3> parts;
  size_t found = 0;
  if (!SplitParts(Trim(text), '.', 3, 3, parts, found)) return {};
  int day = 0, month = 0, year = 0;
  if (!ReadNumber(parts[0], 2, day) || !ReadNumber(parts[1], 2, month) ||
      !ReadNumber(parts[2], 4, year)) {
    return {};
  }
  if (parts[2].size() <= 2) year += year < 80 ? 2000 : 1900;
  tKvDateTime value;
  if (!tKvDateTime::TryEncode(year, month, day, 0, 0, 0, value)) return {};
  return value;
}

tKvDateTime NativeTimeValue(std::string_view text) {
  std::array<std::string_view, 3> parts;
  size_t found = 0;
  if (!SplitParts(Trim(text), ':', 2, 3, parts, found)) return {};
  int hour = 0, minute = 0, second = 0;
  if (!ReadNumber(parts[0], 2, hour) || !ReadNumber(parts[1], 2, minute) ||
      (found == 3 && !ReadNumber(parts[2], 2, second))) {
    return {};
  }
  if (hour > 23 || minute > 59 || second > 59) return {};
  return tKvDateTime(int64_t{hour} * 3600 + minute * 60 + second);
}

namespace {

// Date part (day * 86400 or 0) and time part of "<date>/<time>".
tKvDateTime ReadDateTime(std::string_view text, bool& hasDate) {
  const size_t slash = text.rfind('/');
  const std::string_view date =
      slash == std::string_view::npos ? std::string_view() : text.substr(0, slash);
  const std::string_view time = slash == std::string_view::npos ? text : text.substr(slash + 1);
  const tKvDateTime day = NativeDateValue(date);
  hasDate = !day.IsNull();
  return tKvDateTime(day.Value + NativeTimeValue(time).Value);
}

}  // namespace

tKvDateTime NativeDateTimeValue(std::string_view text) {
  bool hasDate = false;
  const tKvDateTime value = ReadDateTime(text, hasDate);
  if (hasDate || text.find(',') == std::string_view::npos) return value;
  std::string again(text);
  for (char& c : again) {
    if (c == ',') c = '/';
  }
  return ReadDateTime(again, hasDate);
}

std::string NativeLiteralText(std::string_view text) {
  std::string out;
  NativeLiteralText(text, out);
  return out;
}

void NativeLiteralText(std::string_view text, std::string& out) {
  text = Trim(text);
  out.clear();
  out.reserve(text.size());
  size_t i = 0;
  const size_t n = text.size();
  while (i < n) {
    const char c = text[i];
    if (c == '"' || c == '\'') {
      ++i;
      for (;;) {
        const size_t close = text.find(c, i);
        if (close == std::string_view::npos) {  // unclosed: up to the end
          out.append(text.substr(i));
          i = n;
          break;
        }
        out.append(text.substr(i, close - i));
        if (close + 1 < n && text[close + 1] == c) {  // doubled quote
          out += c;
          i = close + 2;
          continue;
        }
        i = close + 1;
        break;
      }
    } else if (c == '#' && i + 1 < n && text[i + 1] >= '0' && text[i + 1] <= '9') {
      size_t j = i + 1;
      unsigned code = 0;
      for (; j < n && text[j] >= '0' && text[j] <= '9'; ++j) {
        if (code <= 255) code = code * 10 + static_cast<unsigned>(text[j] - '0');
      }
      if (code <= 255) {
        out += static_cast<char>(code);
      } else {
        out.append(text.substr(i, j - i));
      }
      i = j;
    } else {
      out += c;
      ++i;
    }
  }
}

// ---- Parser ----------------------------------------------------------------

tFiscalDataParserNative::tFiscalDataParserNative(tFiscalDataSourceTextFileDOS* source,
                                                 tKvKPosFiscalStreamWriter* writer,
                                                 tKvProgressProc progress)
    : source_(source), writer_(writer), progress_(std::move(progress)) {
  if (source_ == nullptr) throw EKvParam(this, "tFiscalDataParserNative.Create: invalid Source");
  if (writer_ == nullptr) throw EKvParam(this, "tFiscalDataParserNative.Create: invalid Writer");
}

tFiscalDataParserNative::~tFiscalDataParserNative() = default;

namespace {

// The log as the parse sees it while a pipe carries its events: every line
// keeps its place among the events and is written on the pipe's thread.
class tPipedLog final : public tKvLog {
 public:
  tPipedLog(tKvKPosEventPipe& pipe, tKvLog& log) : pipe_(pipe), log_(log) {}
  void BeginSection(std::string_view text, int kind) override {
    Relay(&tKvLog::BeginSection, text, kind);
  }
  void EndSection(std::string_view text, int kind) override {
    Relay(&tKvLog::EndSection, text, kind);
  }
  void Add(std::string_view text, int kind) override { Relay(&tKvLog::Add, text, kind); }
  bool IsWritten(int kind) const override { return log_.IsWritten(kind); }

 private:
  // The operation runs on the pipe's thread, with its own copy of the text.
  void Relay(void (tKvLog::*operation)(std::string_view, int), std::string_view text, int kind) {
    pipe_.Call(
        [this, operation, line = std::string(text), kind] { (log_.*operation)(line, kind); });
  }

  tKvKPosEventPipe& pipe_;
  tKvLog& log_;
};

}  // namespace

void tFiscalDataParserNative::Execute() {
  if (pipelined_) {
    ExecutePiped();
  } else if (selection_ != nullptr) {
    tKvKPosFiscalStreamWriter* const writer = writer_;
    selection_->set_downstream(*writer);
    writer_ = selection_;
    struct tRestore {
      tFiscalDataParserNative& Parser;
      tKvKPosFiscalStreamWriter* Writer;
      ~tRestore() { Parser.writer_ = Writer; }
    } restore{*this, writer};
    Pass();
    selection_->Finish();
  } else {
    Pass();
  }
  // The blanks cover the rest of the last progress text on the console line.
  if (progress_) progress_("Completed.              ");
}

void tFiscalDataParserNative::Pass() {
  try {
    while (!source_->Eof()) {
      const std::string_view line = source_->ReadLine();
      writer_->set_file_pos(source_->LineNumber());
      if (!ProcessLine(line)) break;
    }
  } catch (const tKvKPosEventPipe::tStopped&) {
    throw;  // the pipe's failure names its own line
  } catch (const EKvRoot& failure) {
    RaiseInputFailure(failure, source_->LineNumber(),
                      "line " + std::to_string(source_->LineNumber()));
  }
  ReportOpenEntry(kEndsInsideEntry);
}

void tFiscalDataParserNative::ExecutePiped() {
  tKvKPosFiscalStreamWriter* const writer = writer_;
  tKvLog* const log = log_;
  // A dozen chunks in flight (3 MB at most): where the chain shares the
  // processors with more threads (the journal view's), neither side stalls
  // while the other waits for its turn. A selected period goes over whole
  // when its closing decides: the pipe takes it all at once, so that the
  // parse reads on while the chain works through it instead of waiting
  // chunk by chunk. The chain is woken for half a dozen chunks at a time,
  // not for each.
  constexpr size_t kChunk = 256 * 1024, kDepth = 12, kBatch = kDepth / 2;
  const size_t depth = kDepth + (selection_ != nullptr ? tPeriodSelection::kHoldLimit / kChunk : 0);
  tKvKPosEventPipe pipe(*writer, kChunk, depth, kBatch);
  std::optional<tPipedLog> pipedLog;
  if (log != nullptr) pipedLog.emplace(pipe, *log);
  struct tRestore {
    tFiscalDataParserNative& Parser;
    tKvKPosFiscalStreamWriter* Writer;
    tKvLog* Log;
    ~tRestore() {
      Parser.writer_ = Writer;
      Parser.log_ = Log;
      if (Parser.selection_ != nullptr) Parser.selection_->set_downstream(*Writer);
    }
  } restore{*this, writer, log};
  writer_ = &pipe;
  if (selection_ != nullptr) {
    selection_->set_downstream(pipe);
    writer_ = selection_;
  }
  if (pipedLog) log_ = &*pipedLog;

  // The parse's own failure counts only when everything in front of it was
  // delivered without one.
  std::exception_ptr parseFailure;
  try {
    Pass();
    if (selection_ != nullptr) selection_->Finish();  // while the pipe still delivers
  } catch (const tKvKPosEventPipe::tStopped&) {
    // The delivering side failed first.
  } catch (...) {
    parseFailure = std::current_exception();
  }
  pipe.Drain();
  if (pipe.failure() != nullptr) {
    const int64_t line = pipe.failure_pos();
    try {
      std::rethrow_exception(pipe.failure());
    } catch (const EKvRoot& failure) {
      RaiseInputFailure(failure, line, "line " + std::to_string(line));
    }
  }
  if (parseFailure != nullptr) std::rethrow_exception(parseFailure);
}

template <char Sep>
inline std::string_view tFiscalDataParserNative::TakePiece(std::string_view& rest) {
  constexpr uint8_t sepBit = ClassOf(Sep) & (kSepBlank | kSepEquals | kSepSemicolon);
  static_assert(sepBit != 0, "not a separator of the splitting rule");
  // Outside groups only the separator and the group openers matter; a
  // closer there is a plain character. Most pieces hold no group: the scan
  // stays here, groups continue out of line.
  constexpr uint8_t stop = sepBit | kQuote | kOpen;
  const char* const s = rest.data();
  const size_t n = rest.size();
  size_t i = 0;
  while (i < n && (ClassOf(s[i]) & stop) == 0) ++i;
  if (i < n && (ClassOf(s[i]) & sepBit) == 0) i = ScanWithGroups(rest, i, sepBit);
  const std::string_view piece = Trim(std::string_view(s, i));
  rest = i < n ? std::string_view(s + i + 1, n - i - 1) : std::string_view();
  return piece;
}

namespace {

constexpr bool IsDigit(char c) { return (ClassOf(c) & kDigit) != 0; }
constexpr bool IsLetter(char c) { return (ClassOf(c) & kTagChar) != 0 && c != ':'; }
constexpr bool IsTagChar(char c) { return (ClassOf(c) & kTagChar) != 0; }

}  // namespace

bool tFiscalDataParserNative::TakeFieldToken(std::string_view& rest, int32_t& id,
                                             std::string_view& tag) {
  // The usual token: 1 to 9 digits, "=", letters and ":" up to a blank. It
  // holds no group, so the splitting rule gives exactly these pieces.
  const char* s = rest.data();
  const size_t n = rest.size();
  size_t i = 0;
  int32_t number = 0;
  while (i < n && i < 9 && IsDigit(s[i])) number = number * 10 + (s[i++] - '0');
  if (i == 0 || i >= n || s[i] != '=') return false;
  size_t j = i + 1;
  while (j < n && IsTagChar(s[j])) ++j;
  if (j == i + 1 || j >= n || s[j] != ' ') return false;
  id = number;
  tag = std::string_view(s + i + 1, j - i - 1);
  rest.remove_prefix(j + 1);
  return true;
}

bool tFiscalDataParserNative::TakeCommandToken(std::string_view& rest, int32_t& type) {
  // The usual token: letters, "=", 1 to 9 digits, then the end or a blank.
  const char* s = rest.data();
  const size_t n = rest.size();
  size_t i = 0;
  while (i < n && IsLetter(s[i])) ++i;
  if (i >= n || s[i] != '=') return false;
  size_t j = i + 1;
  int32_t number = 0;
  while (j < n && j - i <= 9 && IsDigit(s[j])) number = number * 10 + (s[j++] - '0');
  if (j == i + 1 || j - i > 9 || (j < n && s[j] != ' ')) return false;
  type = number;
  rest = j < n ? rest.substr(j + 1) : std::string_view();
  return true;
}

size_t tFiscalDataParserNative::ScanWithGroups(std::string_view text, size_t i, uint8_t sepBit) {
  const uint8_t stop = sepBit | kQuote | kOpen;
  const size_t n = text.size();
  for (;;) {
    const uint8_t cls = ClassOf(text[i]);
    if ((cls & sepBit) != 0) return i;
    i = (cls & kQuote) != 0 ? SkipQuoted(text, i) : SkipBrackets(text, i);
    while (i < n && (ClassOf(text[i]) & stop) == 0) ++i;
    if (i == n) return n;
  }
}

size_t tFiscalDataParserNative::SkipBrackets(std::string_view text, size_t i) {
  // The closers still expected, innermost last; quote groups and further
  // bracket groups nest inside.
  closers_.assign(1, CloserOf(text[i]));
  ++i;
  while (i < text.size() && !closers_.empty()) {
    const char c = text[i];
    const uint8_t cls = ClassOf(c);
    if ((cls & kQuote) != 0) {
      i = SkipQuoted(text, i);
      continue;
    }
    if ((cls & kOpen) != 0) {
      closers_ += CloserOf(c);
    } else if ((cls & kClose) != 0 && c == closers_.back()) {
      closers_.pop_back();
    }
    ++i;
  }
  return i;
}

void tFiscalDataParserNative::ChangeLevel(int32_t delta) {
  // Far outside every record level; keeps the counter from overflowing on
  // endless runs of parentheses.
  constexpr int32_t kLimit = 1 << 20;
  const int32_t level = level_ + delta;
  if (level > kLimit || level < -kLimit) [[unlikely]] {
    throw EKvKPosFiscalStream(this, 0, "Nesting level out of range: " + std::to_string(level), 2);
  }
  level_ = level;
}

void tFiscalDataParserNative::RaiseLevel(int32_t lowest, std::string_view keyword) const {
  throw EKvKPosFiscalStream(this, 0,
                            "Nesting level " + std::to_string(level_) + " out of range " +
                                std::to_string(lowest) + ".." + std::to_string(kMaxLevel) +
                                " for \"" + std::string(keyword) + "\"",
                            2);
}

bool tFiscalDataParserNative::ProcessLine(std::string_view line) {
  // Two plain stores: copied as one 16-byte value, the line would be
  // spilled and reloaded across two stores, which stalls every line.
  line_data_ = line.data();
  line_size_ = line.size();
  line.remove_prefix(kv_text::LeadingBlanks(line));
  if (line.empty()) return true;
  while (!line.empty() && (line.front() == '(' || line.front() == ')')) {
    ChangeLevel(line.front() == '(' ? 1 : -1);
    line = TrimLeft(line.substr(1));
  }
  // A comment runs to the end of the line, even from inside quotes.
  if (const size_t comment = line.find("//"); comment != std::string_view::npos) {
    line = line.substr(0, comment);
  }
  line = TrimRight(line);
  if (line.empty()) return true;

  // Most lines are fields and record starts: "Fld:" or "Cmd:" and a blank
  // need no splitting. The four bytes are first compared as written by the
  // exporting terminal, then without regard to case.
  if (line.size() >= 4 && (line.size() == 4 || line[4] == ' ')) {
    const size_t restAt = std::min<size_t>(5, line.size());
    const std::string_view rest(line.data() + restAt, line.size() - restAt);
    const std::string_view word(line.data(), 4);
    const tKeyword keyword = SpelledAs(word, "Fld:")   ? tKeyword::kFld
                             : SpelledAs(word, "Cmd:") ? tKeyword::kCmd
                                                       : MatchKeyword(word);
    if (keyword == tKeyword::kFld) {
      Field(rest);
      return true;
    }
    if (keyword == tKeyword::kCmd) {
      Command(rest);
      return true;
    }
  }
  const std::string_view keyword = TakePiece<' '>(line);
  switch (MatchKeyword(keyword)) {
    case tKeyword::kFld:
      Field(line);
      break;
    case tKeyword::kCmd:
      Command(line);
      break;
    case tKeyword::kVer:
      Version(line);
      break;
    case tKeyword::kHdr:
      Header(line);
      break;
    case tKeyword::kBlk:
      Block(line);
      break;
    case tKeyword::kJnl:
      Journal(line);
      break;
    case tKeyword::kEoE:
      EntryEnd();
      break;
    case tKeyword::kNone:
      if (keyword.starts_with("!!!")) break;
      throw EKvKPosFiscalStream(this, 0, "Unknown keyword " + Quoted(keyword), 2);
  }
  return true;
}

void tFiscalDataParserNative::Field(std::string_view rest) {
  if (level_ < 0 || level_ > kMaxLevel) [[unlikely]]
    RaiseLevel(0, "Fld:");
  if (level_ < last_level_) {
    // A field of an outer record: the deeper records end here.
    writer_->RecordStart(0, level_);
    last_level_ = level_;
  }
  std::string_view tag;
  int32_t id = 0;
  if (!TakeFieldToken(rest, id, tag)) {
    tag = TakePiece<' '>(rest);
    id = ParseInt32Lenient(TakePiece<'='>(tag));
    tag = Trim(tag);
  }
  const std::string_view value = TakePiece<';'>(rest);

  switch (MatchFieldTag(tag)) {
    case kTagInt:
      writer_->AddValue(id, tKvKPosValue::Int(ParseInt32Lenient(value)));
      return;
    case kTagBcd:
      writer_->AddValue(id, tKvKPosValue::Bcd(BcdValue(value)));
      return;
    case kTagBcdFix:
      writer_->AddValue(id, tKvKPosValue::BcdFix(tKvBcdFix::FromText(value)));
      return;
    case kTagText:
      NativeLiteralText(value, value_bytes_);
      writer_->AddValue(id, tKvKPosValue::Text(value_bytes_));
      return;
    case kTagTime:
      writer_->AddValue(id, tKvKPosValue::Time(NativeDateTimeValue(value)));
      return;
    case kTagBinary: {
      const size_t count = value.size() / 2;
      if (count > kMaxBinary) [[unlikely]] {
        throw EKvKPosFiscalStream(nullptr, 0, "\"Bin\" block too large: " + std::to_string(count),
                                  9);
      }
      value_bytes_.resize(count);
      if (const size_t bad =
              kv_text::DecodeHexPairs(value, reinterpret_cast<uint8_t*>(value_bytes_.data()));
          bad != value.size()) [[unlikely]] {
        RaiseBadHex(value, bad);
      }
      writer_->AddValue(id, tKvKPosValue::Binary(value_bytes_));
      return;
    }
    default:
      throw EKvKPosFiscalStream(this, 0, "Field type not supported: " + Quoted(tag), 3);
  }
}

void tFiscalDataParserNative::RaiseBadHex(std::string_view hex, size_t at) const {
  const bool inLine =
      line_size_ != 0 && hex.data() >= line_data_ && hex.data() <= line_data_ + line_size_;
  std::string text = "Invalid hexadecimal digit in \"Bin\" value";
  if (inLine) {
    const auto column =
        static_cast<int64_t>(hex.data() - line_data_) + static_cast<int64_t>(at) + 1;
    text += " at column " + std::to_string(column);
  }
  throw EKvKPosFiscalStream(this, 0, text, 9);
}

void tFiscalDataParserNative::Command(std::string_view rest) {
  int32_t type = 0;
  if (!TakeCommandToken(rest, type)) {
    std::string_view id = TakePiece<' '>(rest);
    TakePiece<'='>(id);  // the name before "=" is not used
    type = ParseInt32Lenient(Trim(id));
  }
  if (level_ < 1 || level_ > kMaxLevel) [[unlikely]]
    RaiseLevel(1, "Cmd:");
  last_command_ = type;
  writer_->RecordStart(last_command_, level_);
  last_level_ = level_;
}

void tFiscalDataParserNative::Version(std::string_view rest) {
  std::string_view item = TakePiece<';'>(rest);
  if (ParseIntLenient(TakePiece<'='>(item)) == 1) {
    writer_->SetVersion(1, ParseInt32Lenient(Trim(item)));
  }
}

void tFiscalDataParserNative::Header(std::string_view rest) {
  tKvKPosTextFileHeaderRec header;
  header.Init();
  while (!rest.empty()) {
    std::string_view value = TakePiece<';'>(rest);
    const int64_t id = ParseIntLenient(TakePiece<'='>(value));
    value = Trim(value);
    switch (id) {
      case 1:
        header.Int1 = ParseInt32Lenient(value);
        break;
      case 2:
        header.DateTime1 =
            tKvDateTime(NativeDateValue(value).Value + header.DateTime1.SecondsOfDay());
        break;
      case 3:
        header.DateTime1 =
            tKvDateTime(header.DateTime1.DatePart().Value + NativeTimeValue(value).Value);
        break;
      case 6:
        header.Text = value;
        break;
      case 10:
        header.Int2 = ParseInt32Lenient(value);
        break;
      case 22:
        header.DateTime2 =
            tKvDateTime(NativeDateValue(value).Value + header.DateTime2.SecondsOfDay());
        break;
      case 23:
        header.DateTime2 =
            tKvDateTime(header.DateTime2.DatePart().Value + NativeTimeValue(value).Value);
        break;
      case 100:
        header.Flag = ParseIntLenient(value) == 1;
        break;
      case 101:
        header.Int4 = ParseInt32Lenient(value);
        break;
      case 200:
        header.Int3 = ParseInt32Lenient(value);
        break;
      default:
        break;
    }
  }
  writer_->FileHeader(header);
}

void tFiscalDataParserNative::Block(std::string_view rest) {
  ReportOpenEntry(kEntryWithoutEnd);
  tKvKPosBlockInfoRec info;
  info.Init();
  int64_t count = 0;
  bool regStartFirst = false;  // the item at count 4 was RegStartDT
  while (!rest.empty()) {
    std::string_view value = TakePiece<';'>(rest);
    const std::string_view name = TakePiece<'='>(value);
    value = Trim(value);
    ++count;
    if (count == 4 && EqualsNoCase(name, "RegStartDT")) {
      info.RegStartDT = tKvDateTime(ParseIntLenient(value));
      regStartFirst = true;
      continue;
    }
    switch (regStartFirst ? count - 1 : count) {
      case 1:
        info.ID = ParseInt32Lenient(value);
        break;
      case 2:
        info.EcrAddr = ParseInt32Lenient(value);
        break;
      case 3:
        info.DateTime = tKvDateTime(ParseIntLenient(value));
        break;
      case 4:
        info.RegEndDT = tKvDateTime(ParseIntLenient(value));
        break;
      case 5:
        info.EcrNr = tKvBcdFix::FromText(value);
        break;
      case 6:
        info.SerNr = ParseInt32Lenient(value);
        break;
      case 7:
        info.EcrName = value;
        break;
      case 8:
        info.HwID = ParseInt32Lenient(value);
        break;
      case 9:
        info.FiscJnlType = ParseInt32Lenient(value);
        break;
      case 10:
        info.SwVer = value;
        break;
      case 12:
        info.RegStartDT = tKvDateTime(ParseIntLenient(value));
        break;
      default:
        break;  // 11 (the data signature) and beyond 12 are not read
    }
  }
  writer_->BlockInfo(info);
  if (progress_) {
    char text[32];
    std::snprintf(text, sizeof text, "Converting... %3d%%", static_cast<int>(source_->Progress()));
    progress_(text);
  }
}

void tFiscalDataParserNative::Journal(std::string_view rest) {
  tKvKPosEntryInfoRec entry;
  entry.Type = 0;  // a cleared record, not the "no entry" of Init
  int count = 0;
  while (!rest.empty()) {
    std::string_view value = TakePiece<';'>(rest);
    TakePiece<'='>(value);  // names are not looked at
    const int32_t number = ParseInt32Lenient(Trim(value));
    switch (++count) {
      case 1:
        entry.Type = number;
        break;
      case 2:
        entry.Ver = number;
        break;
      case 3:
        entry.VerMin = number;
        break;
      case 4:
        entry.Codepage = number;
        break;
      default:
        break;
    }
    if (count >= 4) break;  // further items are skipped
  }
  ReportOpenEntry(kEntryWithoutEnd);
  entry_line_ = source_->LineNumber();
  writer_->EntryStart(entry);
}

void tFiscalDataParserNative::EntryEnd() {
  if (entry_line_ == 0 && log_ != nullptr) {
    log_->Add(ReplaceParams(kEndWithoutEntry, std::to_string(source_->LineNumber())),
              tKvLog::kError);
  }
  entry_line_ = 0;
  writer_->EntryEnd();
}

void tFiscalDataParserNative::ReportOpenEntry(std::string_view text) {
  if (entry_line_ == 0) return;
  if (log_ != nullptr) log_->Add(ReplaceParams(text, std::to_string(entry_line_)), tKvLog::kError);
  entry_line_ = 0;
}
