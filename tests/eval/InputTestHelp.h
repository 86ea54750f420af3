// Test helpers for the two journal text inputs: a writer that renders every
// event as one token and keeps copies of the records, the hexadecimal form
// of bytes (fisc_test::Hex), and the original failure nested inside an input failure.
//
// Tokens: Hdr Stream Ver(i,v) Blk(id) Jnl(type,ver,vermin,cp) Rec(type,level)
// Fld(id,<kind>:<text>) EoE Link(d); kinds I integer, B decimal, F digits,
// S text (bytes outside 32..126 as "#<code>"), T time, X binary (hex).
#pragma once

#include <cstdint>
#include <exception>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "base/KvErrors.h"
#include "base/RaiseTestHelp.h"
#include "eval/KvFiscalDataSourceAscii.h"
#include "stream/FiscalStreamTestHelp.h"
#include "stream/KvKPosComStreamData.h"
#include "stream/KvKPosFiscalStreamWriter.h"

namespace input_test {

using fisc_test::Hex;

inline std::string RenderElement(const tKvKPosData& e) {
  switch (e.GetDataKind()) {
    case KvDataKind::kInt:
      return "I:" + std::to_string(e.GetAsInteger(1));
    case KvDataKind::kBcd:
      return "B:" + e.GetText(true);
    case KvDataKind::kBcdFix:
      return "F:" + e.GetText(true);
    case KvDataKind::kTime:
      return "T:" + std::to_string(e.GetAsDateTime(1).Value);
    case KvDataKind::kBinary:
      return "X:" + Hex(e.GetAsBinary(1));
    default: {
      std::string out = "S:";
      for (const char c : e.GetAsString(1)) {
        const auto b = static_cast<unsigned char>(c);
        out += b >= 32 && b < 127 ? std::string(1, c) : "#" + std::to_string(b);
      }
      return out;
    }
  }
}

class tRecorder final : public tKvKPosFiscalStreamWriterChain {
 public:
  tRecorder() : tKvKPosFiscalStreamWriterChain(nullptr) {}

  std::string Events;
  std::vector<tKvKPosTextFileHeaderRec> Headers;
  std::vector<tKvKPosBlockInfoRec> Blocks;
  std::vector<std::unique_ptr<tKvKPosData>> Fields;

  void AddItem(int32_t number, std::unique_ptr<tKvKPosData> element) override {
    Put("Fld(" + std::to_string(number) + "," + RenderElement(*element) + ")");
    Fields.push_back(std::move(element));
  }
  void FileHeader(const tKvKPosTextFileHeaderRec& h) override { Put("Hdr"), Headers.push_back(h); }
  void StreamHeader(const tKvKPosFileHeaderRec&) override { Put("Stream"); }
  void SetVersion(int32_t index, int32_t value) override { Put("Ver", {index, value}); }
  void BlockInfo(const tKvKPosBlockInfoRec& b) override { Put("Blk", {b.ID}), Blocks.push_back(b); }
  void EntryStart(const tKvKPosEntryInfoRec& e) override {
    Put("Jnl", {e.Type, e.Ver, e.VerMin, e.Codepage});
  }
  void EntryEnd() override { Put("EoE"); }
  void Link(int32_t distance) override { Put("Link", {distance}); }
  void RecordStart(int32_t type, int32_t level) override { Put("Rec", {type, level}); }

 private:
  void Put(const std::string& name, std::initializer_list<int64_t> args = {}) {
    Events += (Events.empty() ? "" : " ") + name;
    const char* sep = "(";
    for (const int64_t a : args) Events += sep + std::to_string(a), sep = ",";
    if (args.size() > 0) Events += ")";
  }
};

// The message of the original failure nested inside an input failure, if it
// is a T (its code in *code, where T has one); "<no exception>" when there is
// none. Failures of other types pass on.
template <typename T>
std::string NestedMessage(const EKvFiscalDataInput& failure, int* code = nullptr) {
  return raise_test::MessageOf<T>([&] { std::rethrow_if_nested(failure); }, code);
}

}  // namespace input_test
