// fuzz-links: jorvex_app
// Arbitrary text as an ASCII interface file: its blocks are decoded and
// parsed (block information, check pass, real pass) into the type filter and
// a record-assembling evaluator. An odd first byte makes lines above 256
// bytes fail to read. A first byte 0xFF makes the rest one binary block
// (second byte: stream version 1 or 2), written as an ASCII interface file,
// so that the block passes are reached without hexadecimal mutations. Only
// the EKvRoot family may leave the run.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "FuzzTextInput.h"
#include "base/KvErrors.h"
#include "eval/FiscalDataParserAsciiInt.h"

namespace {

// One block-start line and the bytes as data lines of 64 bytes each.
std::string BlockFile(const uint8_t* bytes, std::size_t size, int version) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  std::string text = "200,1;1,10;1,25;1\r\n";
  for (std::size_t at = 0; at < size; at += 64) {
    text += "242," + std::to_string(version) + ";D:";
    for (std::size_t i = at; i < size && i < at + 64; ++i) {
      text += kDigits[bytes[i] >> 4];
      text += kDigits[bytes[i] & 15];
    }
    text += "\r\n";
  }
  return text;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  if (size > (1u << 20)) return 0;
  static fuzz::tMemoryFile file("fuzz_ascii");
  if (size >= 2 && data[0] == 0xFF) {
    const std::string text = BlockFile(data + 2, size - 2, 1 + (data[1] & 1));
    file.Fill(reinterpret_cast<const uint8_t*>(text.data()), text.size());
  } else {
    file.Fill(data, size);
  }
  const size_t maxLine = fuzz::MaxLineLength(data, size);
  fuzz::tTextInputChain chain;
  std::size_t progress = 0;
  try {
    tFiscalDataSourceTextFileDOS source(file.Path(), maxLine);
    tFiscalDataParserAsciiInt parser(
        &source, [&progress](std::string_view text) { progress += text.size(); }, 0);
    parser.set_log(&chain.Log);
    parser.Run(&chain.Writer);
    chain.Eval.Close();
  } catch (const EKvRoot&) {
  }
  return 0;
}
