// Test helpers for the communication and fiscal stream: byte builders and
// their hexadecimal form, a memory stream with a window source over it, a
// sender of one event of every kind, and a recording writer that renders
// every event as one compact token.
#pragma once

#include <cstdint>
#include <functional>
#include <initializer_list>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "stream/KvFiscalStreamSourceBinary.h"
#include "stream/KvKPosComStream.h"
#include "stream/KvKPosComStreamData.h"
#include "stream/KvKPosFiscalStream.h"
#include "stream/KvKPosFiscalStreamWriter.h"

namespace fisc_test {

using Bytes = std::vector<uint8_t>;

// Bytes as hexadecimal digits, two per byte.
inline std::string Hex(std::string_view bytes) {
  std::string out;
  for (const char c : bytes) {
    out += "0123456789ABCDEF"[(c >> 4) & 15], out += "0123456789ABCDEF"[c & 15];
  }
  return out;
}
inline std::string Hex(const Bytes& bytes) {
  return Hex(std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
}

// Concatenates byte sequences.
inline Bytes Cat(std::initializer_list<Bytes> parts) {
  Bytes out;
  for (const Bytes& p : parts) out.insert(out.end(), p.begin(), p.end());
  return out;
}

// An N-tuple element: 103, item 1, 103, item 2, ..., 103, item N-1, item N.
inline Bytes Tuple(const std::vector<Bytes>& items) {
  Bytes out;
  for (std::size_t i = 0; i < items.size(); ++i) {
    if (i + 1 < items.size()) out.push_back(103);
    out.insert(out.end(), items[i].begin(), items[i].end());
  }
  return out;
}

// Integer element in its shortest form.
inline Bytes Int(int32_t v) {
  if (v >= 0 && v <= 16) return {static_cast<uint8_t>(v + 1)};
  if (v >= 17 && v <= 255) return {18, static_cast<uint8_t>(v)};
  const auto u = static_cast<uint32_t>(v);
  return {21, static_cast<uint8_t>(u), static_cast<uint8_t>(u >> 8), static_cast<uint8_t>(u >> 16),
          static_cast<uint8_t>(u >> 24)};
}

// Text element (ID 55, at most 255 bytes).
inline Bytes Str(const std::string& s) {
  Bytes out{55, static_cast<uint8_t>(s.size())};
  out.insert(out.end(), s.begin(), s.end());
  return out;
}

// Binary element with a 2-byte length (ID 115).
inline Bytes Bin(std::size_t n, uint8_t fill) {
  Bytes out{115, static_cast<uint8_t>(n), static_cast<uint8_t>(n >> 8)};
  out.insert(out.end(), n, fill);
  return out;
}

// Item with a 2-byte number and an element (framing 134).
inline Bytes LongItem(int32_t number, const Bytes& element) {
  return Cat({{134, static_cast<uint8_t>(number), static_cast<uint8_t>(number >> 8)}, element});
}

// Four bytes little-endian.
inline Bytes Le32(int32_t v) {
  const auto u = static_cast<uint32_t>(v);
  return {static_cast<uint8_t>(u), static_cast<uint8_t>(u >> 8), static_cast<uint8_t>(u >> 16),
          static_cast<uint8_t>(u >> 24)};
}

// A memory stream file holding bytes (positioned at 0) and a window source
// over all of it.
struct MemStream {
  explicit MemStream(const Bytes& bytes, int64_t window = -1) {
    if (!bytes.empty()) File.WriteBuffer(bytes.data(), static_cast<int32_t>(bytes.size()));
    File.SetPosition(0);
    Source = std::make_unique<tKvFiscalStreamSourceBinary>(
        File, window < 0 ? static_cast<int64_t>(bytes.size()) : window);
  }
  tKvKPosStreamFileMem File;
  std::unique_ptr<tKvFiscalStreamSourceBinary> Source;
};

// "<kind>=<compact text>" of an element.
inline std::string Render(const tKvKPosData& e) {
  return std::to_string(e.GetDataKind()) + "=" + e.GetText(true);
}

// Fields as values: a number, amounts, a time, texts that fill and pass the
// event buffer's blocks of bytes (64 KiB) and the length it packs (at most
// 65535 bytes), bytes and a lent element.
inline const std::vector<tKvKPosValue>& EveryValue() {
  static const std::string a(30000, 'a'), b(40000, 'b'), huge(70000, 'h'), bytes("\0\xff", 2);
  static const std::string packed(65535, 'p'), block(65536, 'k');
  static const tKvKPosDataStrAI lent("lent");
  static const std::vector<tKvKPosValue> values = {
      tKvKPosValue::Int(-7),        tKvKPosValue::Bcd(tKvBcd::FromText("-12.50")),
      tKvKPosValue::Text("Anna"),   tKvKPosValue::Text(a),
      tKvKPosValue::Text(b),        tKvKPosValue::Text(huge),
      tKvKPosValue::Text(""),       tKvKPosValue::Text(packed),
      tKvKPosValue::Text(block),    tKvKPosValue::BcdFix(tKvBcdFix::FromText("3004")),
      tKvKPosValue::Time(tKvDateTime(1262546460)),
      tKvKPosValue::Binary(bytes),  tKvKPosValue::Borrowed(lent)};
  return values;
}

// Sends one event of every kind, each at its own position (3, 6, ...), an
// integer item, a long text item and EveryValue() as values; leaves the
// position at 99.
inline void SendEveryEvent(tKvKPosFiscalStreamWriter& w) {
  int64_t pos = 0;
  const auto at = [&]() -> tKvKPosFiscalStreamWriter& {
    w.set_file_pos(pos += 3);
    return w;
  };
  tKvKPosTextFileHeaderRec textHeader;
  textHeader.Int1 = 1;
  at().FileHeader(textHeader);
  tKvKPosFileHeaderRec streamHeader;
  streamHeader.Field1 = 7;
  streamHeader.Field8 = "H";
  at().StreamHeader(streamHeader);
  at().SetVersion(1, 2);
  tKvKPosBlockInfoRec block;
  block.ID = 42;
  block.EcrName = "Kasse 1";
  at().BlockInfo(block);
  at().EntryStart(tKvKPosEntryInfoRec{1, 2, 3, 1252});
  at().RecordStart(201, 1);
  at().AddItem(3, std::make_unique<tKvKPosDataInt>(5));
  at().AddItem(4, std::make_unique<tKvKPosDataStr>(std::string(300, 'x')));
  at().Link(17);
  int32_t number = 10;
  for (const tKvKPosValue& value : EveryValue()) at().AddValue(number++, value);
  at().RecordStart(0, 1);
  at().EntryEnd();
  w.set_file_pos(99);
}

// Records every event as a token (tokens separated by blanks).
class tRecordingWriter final : public tKvKPosFiscalStreamWriterChain {
 public:
  tRecordingWriter() : tKvKPosFiscalStreamWriterChain(nullptr) {}

  std::string Events;
  bool WithPositions = false;  // prefix every token with "@<file_pos>:"
  // Sees every token before it is recorded; may raise.
  std::function<void(const std::string& token)> OnEvent;

  void AddItem(int32_t number, std::unique_ptr<tKvKPosData> element) override {
    Put("Add(" + S(number) + ":" + Render(*element) + ")");
  }
  void FileHeader(const tKvKPosTextFileHeaderRec& h) override { Put("File(" + S(h.Int1) + ")"); }
  void StreamHeader(const tKvKPosFileHeaderRec& h) override {
    Put("Hdr(" + S(h.Field1) + "," + h.Field8.str() + ")");
  }
  void SetVersion(int32_t index, int32_t value) override {
    Put("Ver(" + S(index) + "," + S(value) + ")");
  }
  void BlockInfo(const tKvKPosBlockInfoRec& b) override {
    Put("Blk(" + S(b.ID) + "," + b.EcrName.str() + "," + S(b.DataSign.Length) + ")");
  }
  void EntryStart(const tKvKPosEntryInfoRec& e) override {
    Put("Entry(" + S(e.Type) + "," + S(e.Ver) + "," + S(e.VerMin) + "," + S(e.Codepage) + ")");
  }
  void EntryEnd() override { Put("End"); }
  void Link(int32_t distance) override { Put("Link(" + S(distance) + ")"); }
  void RecordStart(int32_t type, int32_t level) override {
    Put("Rec(" + S(type) + "," + S(level) + ")");
  }

 private:
  static std::string S(int64_t v) { return std::to_string(v); }
  void Put(const std::string& token) {
    if (OnEvent) OnEvent(token);
    if (!Events.empty()) Events += ' ';
    if (WithPositions) Events += "@" + S(file_pos()) + ":";
    Events += token;
  }
};

}  // namespace fisc_test
