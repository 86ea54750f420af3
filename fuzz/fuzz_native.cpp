// fuzz-links: jorvex_app
// Arbitrary text through the native conversion pass into the type filter
// and a record-assembling evaluator, read from a file like the journal is.
// An odd first byte makes lines above 256 bytes fail to read. Only the
// EKvRoot family may leave the pass.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "FuzzMemoryFile.h"
#include "app/FiscalDataParserNative.h"
#include "app/FiscalStreamWriterTypeDependent.h"
#include "base/KvErrors.h"
#include "eval/KvFiscalStreamEvalExt.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  if (size > (1u << 20)) return 0;
  static fuzz::tMemoryFile file("fuzz_native");
  file.Fill(data, size);
  const size_t maxLine =
      size > 0 && (data[0] & 1) != 0 ? 256 : tKvTextFileDos::kDefaultMaxLineLength;
  tFiscalStreamWriterTypeDependent::tTypeSet types;
  types.set(1);
  types.set(5);
  tKvFiscalStreamEvalExt eval(nullptr);
  tFiscalStreamWriterTypeDependent writer(types, nullptr, true, &eval, nullptr);
  std::size_t progress = 0;
  try {
    tFiscalDataSourceTextFileDOS source(file.Path(), maxLine);
    tFiscalDataParserNative parser(&source, &writer,
                                   [&progress](std::string_view text) { progress += text.size(); });
    parser.Execute();
    eval.Close();
  } catch (const EKvRoot&) {
  }
  return 0;
}
