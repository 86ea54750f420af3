// fuzz-links: jorvex_stream
// Arbitrary bytes through ParseRange over a memory stream into the
// discarding writer. Only the EKvRoot family may leave the parser.
#include <cstddef>
#include <cstdint>

#include "FuzzInput.h"
#include "base/KvErrors.h"
#include "stream/KvFiscalStreamSourceBinary.h"
#include "stream/KvKPosFiscalStream.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  if (size < 1 || size > (1u << 20)) return 0;
  const fuzz::Options options = fuzz::DecodeOptions(data[0]);
  const auto length = static_cast<int64_t>(size - 1);
  tKvKPosStreamFileMem file;
  fuzz::Load(file, data + 1, size - 1);
  tKvFiscalStreamSourceBinary source(file, options.window ? length : 0);
  tKPosFiscalStreamWriterDummy writer;
  try {
    tKvKPosFiscalStreamParser parser(options.version, &writer, &source);
    parser.ParseRange(file, options.lengthPrefixed, options.passLinks, length);
  } catch (const EKvRoot&) {
  }
  return 0;
}
