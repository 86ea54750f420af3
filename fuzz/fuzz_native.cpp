// fuzz-links: jorvex_app
// Arbitrary text through the native conversion pass into the type filter
// and a record-assembling evaluator, read from a file like the journal is.
// An odd first byte makes lines above 256 bytes fail to read; with bit 1 of
// the first byte set the evaluator runs behind the event pipe, on a thread
// of its own. Only the EKvRoot family may leave the pass.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "FuzzTextInput.h"
#include "app/FiscalDataParserNative.h"
#include "base/KvErrors.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  if (size > (1u << 20)) return 0;
  static fuzz::tMemoryFile file("fuzz_native");
  file.Fill(data, size);
  const size_t maxLine = fuzz::MaxLineLength(data, size);
  fuzz::tTextInputChain chain;
  std::size_t progress = 0;
  try {
    tFiscalDataSourceTextFileDOS source(file.Path(), maxLine);
    tFiscalDataParserNative parser(&source, &chain.Writer,
                                   [&progress](std::string_view text) { progress += text.size(); });
    parser.set_log(&chain.Log);
    parser.set_pipelined(size > 0 && (data[0] & 2) != 0);
    parser.Execute();
    chain.Eval.Close();
  } catch (const EKvRoot&) {
  }
  return 0;
}
