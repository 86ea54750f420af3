#include "eval/FiscalDataParserAsciiInt.h"

#include <algorithm>
#include <cstdio>
#include <utility>

#include "base/KvErrors.h"
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
  const std::string_view code_text = TakeUpTo(rest, ',');
  rest_ = rest;
  int32_t code = kCodeUnreadable;
  if (!kv_text::ParseInt32Strict(code_text, code)) return kCodeUnreadable;
  return code;
}

void tFiscalDataParserAsciiInt::PushBack() {
  // The line is kept in an own buffer: the source's buffer is refilled by
  // the next end-of-file test.
  if (last_line_.data() != pushed_line_.data()) pushed_line_.assign(last_line_);
  last_line_ = pushed_line_;
  pushed_back_ = true;
}

bool tFiscalDataParserAsciiInt::ReadBlockStart(std::string_view pairs) {
  file_header_.Init();
  block_start_.Init();
  bool accepted = false;
  while (!pairs.empty()) {
    std::string_view value = TakeUpTo(pairs, ',');
    const std::string_view key_text = TakeUpTo(value, ';');
    int32_t key = 0;
    if (!kv_text::ParseInt32Strict(key_text, key)) continue;
    switch (key) {
      case 1:
        file_header_.Int1 = PairInteger(value);
        accepted = file_header_.Int1 == 1;
        break;
      case 10:
        file_header_.Int2 = PairInteger(value);
        break;
      case 21:
        block_start_.Text21 = value;
        break;
      case 22:
        block_start_.Text22 = value;
        break;
      case 23:
        block_start_.Text23 = value;
        break;
      case 25:
        block_start_.Int25 = PairInteger(value);
        break;
      default:
        break;
    }
  }
  return accepted;
}

void tFiscalDataParserAsciiInt::ReadData(std::string_view pairs) {
  while (!pairs.empty()) {
    std::string_view value = TakeUpTo(pairs, ',');
    if (kv_text::Trim(value).empty()) continue;  // e.g. after a trailing ","
    stream_kind_ = kv_text::ParseInt32Lenient(kv_text::Trim(TakeUpTo(value, ';')));
    // The prefix before ":" says nothing about the bytes.
    if (const size_t colon = value.find(':'); colon != std::string_view::npos) {
      value.remove_prefix(colon + 1);
    }
    const std::string_view hex = kv_text::Trim(value);
    const size_t count = hex.size() / 2;
    if (count == 0) continue;
    const int64_t size = block_.GetSize();
    if (static_cast<int64_t>(count) > kMaxBlockSize - size) [[unlikely]] {
      throw EKvKPosFiscalStream(
          this, 0, "Block too large: more than " + std::to_string(kMaxBlockSize) + " bytes", 9);
    }
    // The bytes are decoded straight into the block.
    uint8_t* const bytes = block_.Extend(static_cast<int32_t>(count));
    if (bytes == nullptr) [[unlikely]] {
      throw EKvKPosFiscalStream(this, 0, "Block too large", 9);
    }
    if (const size_t bad = kv_text::DecodeHexPairs(hex, bytes); bad != hex.size()) [[unlikely]] {
      block_.Truncate(size);
      RaiseBadHex(hex, bad);
    }
    const int64_t line = source_->LineNumber();
    if (data_lines_.empty() || data_lines_.back().Line != line) data_lines_.push_back({size, line});
    block_.SetPosition(size + static_cast<int64_t>(count));
  }
}

void tFiscalDataParserAsciiInt::RaiseBadHex(std::string_view hex, size_t at) const {
  const auto column =
      static_cast<int64_t>(hex.data() - last_line_.data()) + static_cast<int64_t>(at) + 1;
  throw EKvKPosFiscalStream(
      this, 0, "Invalid hexadecimal digit in block data at column " + std::to_string(column), 2);
}

tFiscalDataParserAsciiInt::tBlockResult tFiscalDataParserAsciiInt::ReadBlock() {
  for (;;) {
    const int32_t code = ReadCode();
    if (code == kCodeEof) return tBlockResult::kEof;
    if (code == kCodeBlockStart && ReadBlockStart(rest_)) break;
  }
  block_line_ = source_->LineNumber();
  data_lines_.clear();
  for (;;) {
    int32_t code = ReadCode();
    if (code == kCodeUnreadable) code = kCodeBlockLast;
    if (code == kCodeData) {
      ReadData(rest_);
    } else if (code < kCodeBlockFirst || code > kCodeBlockLast) {
      // The line that ends the section is read again outside the block. At
      // the end of the file there is no such line: pushing back the previous
      // one would make an empty last block start over and over.
      if (code != kCodeEof) PushBack();
      break;
    }
  }
  return block_.GetSize() > 0 ? tBlockResult::kBlock : tBlockResult::kEmpty;
}

int64_t tFiscalDataParserAsciiInt::LineOfBlockOffset(int64_t offset) const {
  const auto after =
      std::upper_bound(data_lines_.begin(), data_lines_.end(), offset,
                       [](int64_t value, const tDataLine& line) { return value < line.Offset; });
  return after == data_lines_.begin() ? block_line_ : std::prev(after)->Line;
}

// ---- Run -------------------------------------------------------------------

void tFiscalDataParserAsciiInt::Run(tKvKPosFiscalStreamWriter* writer) {
  if (writer == nullptr) throw EKvParam(this, "tFiscalDataParserAsciiInt.Run: invalid Writer");
  pushed_back_ = false;
  stream_kind_ = 2;
  block_.Clear();
  // One window over the block for every pass; the check pass parses into a
  // writer that discards everything.
  tKvFiscalStreamSourceBinary source(block_, 0);
  tKPosFiscalStreamWriterDummy dummy;
  tKvKPosFiscalStreamParser check(0, &dummy, &source);
  tKvKPosFiscalStreamParser parser(0, writer, &source);

  for (;;) {
    block_.Clear();
    tBlockResult result;
    try {
      result = ReadBlock();
    } catch (const EKvRoot& failure) {
      RaiseInputFailure(failure, source_->LineNumber(),
                        "line " + std::to_string(source_->LineNumber()));
    }
    if (result == tBlockResult::kEof) break;
    if (result == tBlockResult::kEmpty) continue;  // nothing to parse; later blocks follow
    if (progress_out_) {
      char text[32];
      std::snprintf(text, sizeof text, "Reading... %3d%%", static_cast<int>(source_->Progress()));
      progress_out_(text);
    }

    enum class tPhase { kBlockInfo, kCheck, kHeader, kParse } phase = tPhase::kBlockInfo;
    try {
      const int64_t size = block_.GetSize();
      const bool length_prefixed = stream_kind_ != 1;
      if (check_block_info_) {
        block_.SetPosition(0);
        tKvKPosBlockInfoRec info;
        ReadBlockInfo(0, source, info);
        // The block's data signature is not verified: its key is not known
        // to this program.
        if (info.DataSign.Length > 0) has_block_info_ = true;
      }
      phase = tPhase::kCheck;
      block_.SetPosition(0);
      check.ParseRange(block_, length_prefixed, false, size);
      phase = tPhase::kHeader;
      writer->FileHeader(file_header_);
      phase = tPhase::kParse;
      block_.SetPosition(0);
      parser.ParseRange(block_, length_prefixed, false, size);
    } catch (const EKvRoot& failure) {
      int64_t offset = 0;
      switch (phase) {
        case tPhase::kBlockInfo:
          offset = block_.GetPosition();
          break;
        case tPhase::kCheck:
          offset = dummy.file_pos();
          break;
        case tPhase::kHeader:
          offset = 0;
          break;
        case tPhase::kParse:
          offset = writer->file_pos();
          break;
      }
      const int64_t line = LineOfBlockOffset(offset);
      RaiseInputFailure(failure, line,
                        "line " + std::to_string(line) + ", byte " + std::to_string(offset) +
                            " of the block from line " + std::to_string(block_line_));
    }
  }
  block_.Clear();
  if (progress_out_) progress_out_("Completed.            ");
}
