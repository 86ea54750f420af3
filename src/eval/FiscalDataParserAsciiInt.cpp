#include "eval/FiscalDataParserAsciiInt.h"

#include <algorithm>
#include <cstdio>
#include <thread>
#include <utility>

#include "base/KvErrorCodes.h"
#include "base/KvErrors.h"
#include "base/KvLog.h"
#include "eval/KvFiscalDataText.h"
#include "stream/KvFiscalStreamSourceBinary.h"
#include "stream/KvKPosFiscalStream.h"
#include "stream/KvKPosFiscalStreamWriter.h"

namespace {

// Takes the text up to sep off rest (sep removed; without sep all of rest).
std::string_view TakeUpTo(std::string_view& rest, char sep) {
  const size_t at = rest.find(sep);
  const std::string_view piece = rest.substr(0, at);
  rest = at == std::string_view::npos ? std::string_view() : rest.substr(at + 1);
  return piece;
}

constexpr std::string_view kOddHexDigits =
    "=> Warning: Odd number of hexadecimal digits in line %1, the last one is dropped!";
constexpr std::string_view kBlockEndsInsideEntry =
    "=> Error: The block ends inside the entry that begins in line %1!";

// A whole integer of a block-start pair; anything else gives 0.
int32_t PairInteger(std::string_view text) {
  int32_t value = 0;
  return kv_text::ParseInt32Strict(text, value) ? value : 0;
}

}  // namespace

tFiscalDataParserAsciiInt::tFiscalDataParserAsciiInt(tFiscalDataSourceTextFileDOS* source,
                                                     tKvProgressProc progressOut, uint8_t flag)
    : source_(source), progress_out_(std::move(progressOut)), flag_(flag) {
  if (source_ == nullptr) throw EKvParam(this, "tFiscalDataParserAsciiInt.Create: invalid Source");
}

tFiscalDataParserAsciiInt::~tFiscalDataParserAsciiInt() = default;

// ---- Lines -----------------------------------------------------------------

int32_t tFiscalDataParserAsciiInt::ReadCode() {
  if (pushed_back_) {
    pushed_back_ = false;
    last_line_ = pushed_line_;
  } else {
    if (source_->Eof()) return kCodeEof;
    last_line_ = source_->ReadLine();
  }
  std::string_view rest = last_line_;
  const std::string_view codeText = TakeUpTo(rest, ',');
  rest_ = rest;
  int32_t code = kCodeUnreadable;
  if (!kv_text::ParseInt32Strict(codeText, code)) return kCodeUnreadable;
  return code;
}

void tFiscalDataParserAsciiInt::PushBack() {
  // The line is kept in an own buffer: the source's buffer is refilled by
  // the next end-of-file test.
  if (last_line_.data() != pushed_line_.data()) pushed_line_.assign(last_line_);
  last_line_ = pushed_line_;
  pushed_back_ = true;
}

bool tFiscalDataParserAsciiInt::ReadBlockStart(std::string_view pairs, tBlock& block) {
  tKvKPosTextFileHeaderRec& header = block.FileHeader;
  tAsciiIntBlockStart& start = block.BlockStart;
  header.Init();
  start.Init();
  bool accepted = false;
  while (!pairs.empty()) {
    std::string_view value = TakeUpTo(pairs, ',');
    const std::string_view keyText = TakeUpTo(value, ';');
    int32_t key = 0;
    if (!kv_text::ParseInt32Strict(keyText, key)) continue;
    switch (key) {
      case 1:
        header.Int1 = PairInteger(value);
        accepted = header.Int1 == 1;
        break;
      case 10:
        header.Int2 = PairInteger(value);
        break;
      case 21:
        start.Text21 = value;
        break;
      case 22:
        start.Text22 = value;
        break;
      case 23:
        start.Text23 = value;
        break;
      case 25:
        start.Int25 = PairInteger(value);
        break;
      default:
        break;
    }
  }
  return accepted;
}

void tFiscalDataParserAsciiInt::ReadData(std::string_view pairs, tBlock& block) {
  tKvKPosStreamFileMem& bytesFile = block.Bytes;
  bool odd = false;  // a pair of the line has an odd number of digits
  while (!pairs.empty()) {
    std::string_view value = TakeUpTo(pairs, ',');
    if (kv_text::Trim(value).empty()) continue;  // e.g. after a trailing ","
    reading_stream_kind_ = kv_text::ParseInt32Lenient(kv_text::Trim(TakeUpTo(value, ';')));
    // The prefix before ":" says nothing about the bytes.
    if (const size_t colon = value.find(':'); colon != std::string_view::npos) {
      value.remove_prefix(colon + 1);
    }
    const std::string_view hex = kv_text::Trim(value);
    const size_t count = hex.size() / 2;
    odd = odd || hex.size() % 2 != 0;
    if (count == 0) continue;
    const int64_t size = bytesFile.GetSize();
    if (static_cast<int64_t>(count) > kMaxBlockSize - size) [[unlikely]] {
      throw EKvKPosFiscalStream(
          this, 0, "Block too large: more than " + std::to_string(kMaxBlockSize) + " bytes", 9);
    }
    // The bytes are decoded straight into the block.
    uint8_t* const bytes = bytesFile.Extend(static_cast<int32_t>(count));
    if (bytes == nullptr) [[unlikely]] {
      throw EKvKPosFiscalStream(this, 0, "Block too large", 9);
    }
    if (const size_t bad = kv_text::DecodeHexPairs(hex, bytes); bad != hex.size()) [[unlikely]] {
      bytesFile.Truncate(size);
      RaiseBadHex(hex, bad);
    }
    const int64_t line = source_->LineNumber();
    std::vector<tDataLine>& lines = block.DataLines;
    if (lines.empty() || lines.back().Line != line) lines.push_back({size, line});
    bytesFile.SetPosition(size + static_cast<int64_t>(count));
  }
  if (odd) [[unlikely]] {
    block.Damage.push_back(
        {tKvLog::kWarning, ReplaceParams(kOddHexDigits, std::to_string(source_->LineNumber()))});
  }
}

void tFiscalDataParserAsciiInt::RaiseBadHex(std::string_view hex, size_t at) const {
  const auto column =
      static_cast<int64_t>(hex.data() - last_line_.data()) + static_cast<int64_t>(at) + 1;
  throw EKvKPosFiscalStream(
      this, 0, "Invalid hexadecimal digit in block data at column " + std::to_string(column), 2);
}

tFiscalDataParserAsciiInt::tBlockResult tFiscalDataParserAsciiInt::ReadBlock(tBlock& block) {
  for (;;) {
    const int32_t code = ReadCode();
    if (code == kCodeEof) return tBlockResult::kEof;
    if (code == kCodeBlockStart && ReadBlockStart(rest_, block)) break;
  }
  block.StartLine = source_->LineNumber();
  block.DataLines.clear();
  block.Damage.clear();
  for (;;) {
    int32_t code = ReadCode();
    if (code == kCodeUnreadable) code = kCodeBlockLast;
    if (code == kCodeData) {
      ReadData(rest_, block);
    } else if (code < kCodeBlockFirst || code > kCodeBlockLast) {
      // The line that ends the section is read again outside the block. At
      // the end of the file there is no such line: pushing back the previous
      // one would make an empty last block start over and over.
      if (code != kCodeEof) PushBack();
      break;
    }
  }
  block.StreamKind = reading_stream_kind_;
  return block.Bytes.GetSize() > 0 ? tBlockResult::kBlock : tBlockResult::kEmpty;
}

int64_t tFiscalDataParserAsciiInt::LineOfBlockOffset(const tBlock& block, int64_t offset) {
  const std::vector<tDataLine>& lines = block.DataLines;
  const auto after =
      std::upper_bound(lines.begin(), lines.end(), offset,
                       [](int64_t value, const tDataLine& line) { return value < line.Offset; });
  return after == lines.begin() ? block.StartLine : std::prev(after)->Line;
}

void tFiscalDataParserAsciiInt::RaiseBlockFailure(const EKvRoot& failure, const tBlock& block,
                                                  int64_t offset) {
  const int64_t line = LineOfBlockOffset(block, offset);
  RaiseInputFailure(failure, line,
                    "line " + std::to_string(line) + ", byte " + std::to_string(offset) +
                        " of the block from line " + std::to_string(block.StartLine));
}

// ---- Run -------------------------------------------------------------------

bool tFiscalDataParserAsciiInt::ReadNextBlock(tBlock& block) {
  for (;;) {
    block.Bytes.Clear();
    tBlockResult result;
    try {
      result = ReadBlock(block);
    } catch (const EKvRoot& failure) {
      RaiseInputFailure(failure, source_->LineNumber(),
                        "line " + std::to_string(source_->LineNumber()));
    }
    if (result == tBlockResult::kEof) return false;
    if (result == tBlockResult::kEmpty) continue;  // nothing to parse; later blocks follow
    block.Percent = static_cast<int32_t>(source_->Progress());
    return true;
  }
}

void tFiscalDataParserAsciiInt::PrepareBlock(tBlock& block) const {
  tKvKPosStreamFileMem& bytes = block.Bytes;
  tKvKPosFiscalEventBuffer& events = block.Events;
  events.set_limit(event_buffer_size_);
  events.Clear();
  bytes.SetPosition(0);  // the window starts where the file stands
  tKvFiscalStreamSourceBinary source(bytes, 0);
  bool parsing = false;
  try {
    block.HasDataSignature = false;
    if (check_block_info_) {
      tKvKPosBlockInfoRec info;
      ReadBlockInfo(0, source, info);
      // The block's data signature is not verified: its key is not known
      // to this program.
      block.HasDataSignature = info.DataSign.Length > 0;
    }
    parsing = true;
    bytes.SetPosition(0);
    tKvKPosFiscalStreamParser parser(0, &events, &source);
    parser.ParseRange(bytes, block.StreamKind != 1, false, bytes.GetSize(),
                      tKvKPosParseMode::kEventBuffer);
  } catch (const EKvRoot& failure) {
    RaiseBlockFailure(failure, block, parsing ? events.file_pos() : bytes.GetPosition());
  }
  if (const int64_t entry = events.open_entry_pos(); entry >= 0) [[unlikely]] {
    block.Damage.push_back({tKvLog::kError,
                            ReplaceParams(kBlockEndsInsideEntry,
                                          std::to_string(LineOfBlockOffset(block, entry)))});
  }
}

bool tFiscalDataParserAsciiInt::ReadStep(tBlock& block) {
  block.Failure = nullptr;
  block.Damage.clear();
  if (read_failed_) return false;
  try {
    return ReadNextBlock(block);
  } catch (const EKvRoot&) {
    read_failed_ = true;
    block.Failure = std::current_exception();
    return true;
  }
}

void tFiscalDataParserAsciiInt::WorkStep(tBlock& block) const {
  if (block.Failure) return;
  try {
    PrepareBlock(block);
  } catch (const EKvRoot&) {
    block.Failure = std::current_exception();
  }
}

void tFiscalDataParserAsciiInt::LogDamage(const tBlock& block) {
  if (log_ == nullptr) return;
  for (const tDamage& damage : block.Damage) log_->Add(damage.Text, damage.Kind);
}

void tFiscalDataParserAsciiInt::ParseBlock(tBlock& block, tKvKPosFiscalStreamWriter& writer) {
  if (block.Failure) [[unlikely]] {
    LogDamage(block);
    std::rethrow_exception(block.Failure);
  }
  if (progress_out_) {
    char text[32];
    std::snprintf(text, sizeof text, "Reading... %3d%%", static_cast<int>(block.Percent));
    progress_out_(text);
  }
  if (block.HasDataSignature) has_block_info_ = true;
  file_header_ = block.FileHeader;
  block_start_ = block.BlockStart;
  stream_kind_ = block.StreamKind;
  tKvKPosStreamFileMem& bytes = block.Bytes;
  bool parsing = false;
  try {
    writer.FileHeader(file_header_);
    parsing = true;
    bytes.SetPosition(0);
    tKvFiscalStreamSourceBinary source(bytes, 0);
    if (!block.Events.Overflowed()) {
      block.Events.Replay(writer, &bytes, &source);
    } else {
      block.Events.Clear();
      tKvKPosFiscalStreamParser parser(0, &writer, &source);
      parser.ParseRange(bytes, stream_kind_ != 1, false, bytes.GetSize());
    }
  } catch (const EKvRoot& failure) {
    LogDamage(block);
    RaiseBlockFailure(failure, block, parsing ? writer.file_pos() : 0);
  }
  LogDamage(block);
}

int tFiscalDataParserAsciiInt::DefaultWorkers() {
  // One processor is left to the calling thread.
  const unsigned processors = std::thread::hardware_concurrency();
  return processors <= 1 ? 0 : static_cast<int>(std::min(processors - 1, 4U));
}

void tFiscalDataParserAsciiInt::Run(tKvKPosFiscalStreamWriter* writer) {
  if (writer == nullptr) throw EKvParam(this, "tFiscalDataParserAsciiInt.Run: invalid Writer");
  pushed_back_ = false;
  read_failed_ = false;
  reading_stream_kind_ = 2;
  stream_kind_ = 2;
  // Worker threads read, decode and parse the next blocks while this one
  // goes through the writer chain; they stop (and are waited for) when this
  // function ends, also by a failure. Without workers, the blocks are
  // prepared here, one at a time.
  tKvReadAhead<tBlock> blocks([this](tBlock& block) { return ReadStep(block); },
                              [this](tBlock& block) { WorkStep(block); }, workers_);
  while (tBlock* block = blocks.Take()) ParseBlock(*block, *writer);
  if (progress_out_) progress_out_("Completed.            ");
}
