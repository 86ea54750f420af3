// Test helpers for the two journal text inputs: a recording writer that
// renders every event as one compact token and keeps copies of the records,
// the hexadecimal form of bytes, and the checks of an input failure (its
// message and the original failure nested inside).
//
// Tokens, separated by one blank:
//   Hdr  Stream  Ver(i,v)  Blk(id)  Jnl(type,ver,vermin,cp)  Rec(type,level)
//   Fld(id,<kind letter>:<text>)  EoE  Link(d)
// Kind letters: I integer, B decimal, F digit string, S text, T time,
// X binary (hexadecimal), otherwise the data kind number. Texts show bytes
// outside 32..126 as "#<code>".
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <exception>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "base/KvErrors.h"
#include "eval/KvFiscalDataSourceAscii.h"
#include "stream/KvKPosComStreamData.h"
#include "stream/KvKPosFiscalStreamWriter.h"

namespace input_test {

inline std::string Printable(std::string_view text) {
  std::string out;
  for (const char c : text) {
    const auto b = static_cast<unsigned char>(c);
    if (b >= 32 && b < 127) {
      out += c;
    } else {
      out += '#' + std::to_string(b);
    }
  }
  return out;
}

inline std::string Hex(std::string_view bytes) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  std::string out;
  for (const char c : bytes) {
    out += kDigits[static_cast<unsigned char>(c) >> 4];
    out += kDigits[static_cast<unsigned char>(c) & 15];
  }
  return out;
}

inline std::string Hex(const std::vector<uint8_t>& bytes) {
  return Hex(std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
}

inline std::string RenderElement(const tKvKPosData& e) {
  switch (e.GetDataKind()) {
    case KvDataKind::kInt:
      return "I:" + std::to_string(e.GetAsInteger(1));
    case KvDataKind::kBcd:
      return "B:" + e.GetText(true);
    case KvDataKind::kBcdFix:
      return "F:" + e.GetText(true);
    case KvDataKind::kStr:
      return "S:" + Printable(e.GetAsString(1));
    case KvDataKind::kTime:
      return "T:" + std::to_string(e.GetAsDateTime(1).Value);
    case KvDataKind::kBinary:
      return "X:" + Hex(e.GetAsBinary(1));
    default:
      return std::to_string(e.GetDataKind()) + ":" + Printable(e.GetText(true));
  }
}

class tRecorder final : public tKvKPosFiscalStreamWriterChain {
 public:
  tRecorder() : tKvKPosFiscalStreamWriterChain(nullptr) {}

  std::string events;
  std::vector<tKvKPosTextFileHeaderRec> headers;
  std::vector<tKvKPosBlockInfoRec> blocks;
  std::vector<tKvKPosEntryInfoRec> entries;
  std::vector<std::unique_ptr<tKvKPosData>> fields;

  void AddItem(int32_t number, std::unique_ptr<tKvKPosData> element) override {
    Put("Fld(" + std::to_string(number) + "," + RenderElement(*element) + ")");
    fields.push_back(std::move(element));
  }
  void FileHeader(const tKvKPosTextFileHeaderRec& h) override {
    Put("Hdr");
    headers.push_back(h);
  }
  void StreamHeader(const tKvKPosFileHeaderRec&) override { Put("Stream"); }
  void SetVersion(int32_t index, int32_t value) override {
    Put("Ver(" + std::to_string(index) + "," + std::to_string(value) + ")");
  }
  void BlockInfo(const tKvKPosBlockInfoRec& b) override {
    Put("Blk(" + std::to_string(b.ID) + ")");
    blocks.push_back(b);
  }
  void EntryStart(const tKvKPosEntryInfoRec& e) override {
    Put("Jnl(" + std::to_string(e.Type) + "," + std::to_string(e.Ver) + "," +
        std::to_string(e.VerMin) + "," + std::to_string(e.Codepage) + ")");
    entries.push_back(e);
  }
  void EntryEnd() override { Put("EoE"); }
  void Link(int32_t distance) override { Put("Link(" + std::to_string(distance) + ")"); }
  void RecordStart(int32_t type, int32_t level) override {
    Put("Rec(" + std::to_string(type) + "," + std::to_string(level) + ")");
  }

 private:
  void Put(const std::string& token) {
    if (!events.empty()) events += ' ';
    events += token;
  }
};

// The original failure nested inside an input failure, rethrown and caught
// as T; null (and a test failure) when there is none of that type.
template <typename T>
std::string NestedMessage(const EKvFiscalDataInput& failure, int* code = nullptr) {
  try {
    std::rethrow_if_nested(failure);
  } catch (const T& inner) {
    if constexpr (requires { inner.Code(); }) {
      if (code != nullptr) *code = inner.Code();
    }
    return inner.what();
  } catch (...) {
    ADD_FAILURE() << "nested failure of another type in: " << failure.what();
    return {};
  }
  ADD_FAILURE() << "no nested failure in: " << failure.what();
  return {};
}

}  // namespace input_test
