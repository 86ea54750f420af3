#include "gen/AsciiWriter.h"

#include <algorithm>
#include <cassert>
#include <charconv>

#include "gen/GenBinary.h"

namespace jgen {
namespace {

// Segments shorter than this stay as they are: a link would save nothing.
constexpr size_t kMinLinkedFields = 8;

uint64_t Fnv1a(std::string_view bytes) {
  uint64_t h = 14695981039346656037ULL;
  for (const char c : bytes) {
    h ^= static_cast<uint8_t>(c);
    h *= 1099511628211ULL;
  }
  return h;
}

void AppendInt(std::string& s, int64_t v) {
  char buf[24];
  const auto res = std::to_chars(buf, buf + sizeof buf, v);
  s.append(buf, res.ptr);
}

// Header of a binary stream: 20 values that the terminal fills and no reader
// interprets (header version, block, register and software data).
void PutFileHeader(std::string& out, const BlockHeader& b, int version) {
  PutItem(out, version == 1 ? kItemHeaderV1 : kItemHeaderV2);
  const auto item = [&out] { PutMulti(out); };
  item(); PutInt(out, version);        // 1
  item(); PutInt(out, 0);              // 2
  item(); PutTime(out, b.Created);     // 3
  item(); PutInt(out, b.Id);           // 4
  item(); PutBcdFix(out, b.EcrNo);     // 5
  item(); PutBcdFix(out, "0");         // 6
  item(); PutBcdFix(out, "0");         // 7
  item(); PutText(out, b.EcrName);     // 8
  item(); PutText(out, b.SwVer);       // 9
  item(); PutInt(out, b.FiscJnlType);  // 10
  item(); PutInt(out, b.HwId);         // 11
  item(); PutInt(out, b.EcrAddr);      // 12
  item(); PutInt(out, 0);              // 13
  item(); PutBcdFix(out, "0");         // 14
  item(); PutText(out, "");            // 15
  item(); PutInt(out, 0);              // 16
  item(); PutInt(out, 0);              // 17
  item(); PutInt(out, 0);              // 18
  item(); PutText(out, "");            // 19
  PutText(out, "");                    // 20
}

void PutBlockInfo(std::string& out, const BlockHeader& b) {
  PutItem(out, kItemBlockInfo);
  PutMulti(out); PutInt(out, b.Id);
  PutMulti(out); PutInt(out, b.EcrAddr);
  PutMulti(out); PutTime(out, b.Created);
  PutMulti(out); PutTime(out, b.RegEnd);
  PutMulti(out); PutBcdFix(out, b.EcrNo);
  PutMulti(out); PutInt(out, b.SerNo);
  PutMulti(out); PutText(out, b.EcrName);
  PutMulti(out); PutInt(out, b.HwId);
  PutMulti(out); PutInt(out, b.FiscJnlType);
  PutMulti(out); PutText(out, b.SwVer);
  PutMulti(out); PutBinary(out, "");  // no data signature
  PutTime(out, b.RegStart);
}

}  // namespace

AsciiWriter::AsciiWriter(TextOut* out, int streamVersion)
    : out_(*out), version_(streamVersion) {
  assert(streamVersion == 1 || streamVersion == 2);
}

uint64_t AsciiWriter::DataLinesSize(uint64_t bytes) {
  const uint64_t lines = (bytes + kBytesPerLine - 1) / kBytesPerLine;
  return lines * (sizeof("242,2;D:") - 1 + 2) + 2 * bytes;
}

uint64_t AsciiWriter::OutputSize() const {
  return out_.Size() + DataLinesSize(block_.size() + entry_.size());
}

void AsciiWriter::BeginBlock(const BlockHeader& b) {
  header_ = b;
  block_.clear();
  targets_.clear();
  entries_ = 0;
  PutFileHeader(block_, b, version_);
  PutItem(block_, kItemVersion);
  PutInt(block_, 1);
  PutBlockInfo(block_, b);
}

void AsciiWriter::BeginEntry(const EntryInfo& e) {
  entry_.clear();
  entry_base_ = static_cast<int64_t>(block_.size()) + (version_ == 2 ? 4 : 0);
  seg_open_ = false;
  PutItem(entry_, kItemEntryStart);
  PutMulti(entry_); PutInt(entry_, e.Type);
  PutMulti(entry_); PutInt(entry_, e.Ver);
  PutMulti(entry_); PutInt(entry_, e.VerMin);
  PutInt(entry_, e.Codepage);
}

void AsciiWriter::Record(int32_t type, int level) {
  assert(level >= 1 && level <= 24 && type > 0);
  CloseSegment();
  seg_start_ = entry_.size();
  PutItem(entry_, kItemRecordBase + static_cast<uint32_t>(level));
  PutInt(entry_, type);
  seg_fields_ = entry_.size();
  seg_open_ = true;
  last_level_ = level;
}

void AsciiWriter::Field(int32_t id, int level, const Value& v) {
  assert(level >= 1 && level <= 24 && id >= 0);
  if (level < last_level_) {
    // Back at an outer record: a record start of type 0 closes the deeper ones.
    CloseSegment();
    PutItem(entry_, kItemRecordBase + static_cast<uint32_t>(level));
    PutInt(entry_, 0);
    last_level_ = level;
  }
  PutSubItem(entry_, static_cast<uint32_t>(id));
  PutValue(entry_, v);
}

bool AsciiWriter::SameBytes(int64_t pos, std::string_view bytes) const {
  std::string_view source;
  if (pos < entry_base_) {
    source = std::string_view(block_).substr(static_cast<size_t>(pos));
  } else {
    source = std::string_view(entry_).substr(static_cast<size_t>(pos - entry_base_));
  }
  return source.substr(0, bytes.size()) == bytes;
}

void AsciiWriter::CloseSegment() {
  if (!seg_open_) return;
  seg_open_ = false;
  if (entry_.size() - seg_fields_ < kMinLinkedFields) return;
  const std::string_view segment = std::string_view(entry_).substr(seg_start_);
  const uint64_t hash = Fnv1a(segment);
  const auto it = targets_.find(hash);
  if (it != targets_.end() && it->second.Len == segment.size() &&
      SameBytes(it->second.Pos, segment)) {
    const int64_t linkPos = entry_base_ + static_cast<int64_t>(seg_fields_);
    entry_.resize(seg_fields_);
    PutItem(entry_, kItemBackLink);
    PutInt(entry_, linkPos - it->second.Pos);
    return;
  }
  targets_[hash] = {entry_base_ + static_cast<int64_t>(seg_start_),
                    static_cast<uint32_t>(segment.size())};
}

void AsciiWriter::EndEntry() {
  CloseSegment();
  PutItemNoValue(entry_, kItemEntryEnd);
  if (version_ == 2) PutLE32(block_, static_cast<uint32_t>(entry_.size()));
  block_ += entry_;
  entry_.clear();
  ++entries_;
}

void AsciiWriter::EndBlock() {
  // The block information is always followed by a length value in version 2.
  if (version_ == 2 && entries_ == 0) PutLE32(block_, 0);
  WriteBlockText();
  block_.clear();
  targets_.clear();
}

void AsciiWriter::WriteBlockText() {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  std::string& s = out_.Buffer();
  s += "200,1;1,10;";
  AppendInt(s, header_.EcrNoSuppl);
  s += ",21;";
  s += header_.EcrName;
  s += ",22;";
  s += header_.SwVer;
  s += ",25;";
  AppendInt(s, header_.Id);
  s += "\r\n";
  const char* prefix = version_ == 1 ? "242,1;D:" : "242,2;D:";
  for (size_t pos = 0; pos < block_.size(); pos += kBytesPerLine) {
    const size_t n = std::min(kBytesPerLine, block_.size() - pos);
    s += prefix;
    for (size_t i = pos; i < pos + n; ++i) {
      const auto b = static_cast<uint8_t>(block_[i]);
      s += kDigits[b >> 4];
      s += kDigits[b & 15];
    }
    s += "\r\n";
    out_.MaybeFlush();
  }
}

}  // namespace jgen
