// fuzz-links: jorvex_stream
// Arbitrary bytes through ParseRange over a memory stream, once into the
// discarding writer (the check pass, which checks elements in place) and
// once into a chain without successor (which builds every element). Only
// the EKvRoot family may leave the parser, and both parses must end alike:
// same result or same failure, same position.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "FuzzInput.h"
#include "base/KvErrors.h"
#include "stream/KvFiscalStreamSourceBinary.h"
#include "stream/KvKPosFiscalStream.h"

namespace {

std::string Parse(const uint8_t* data, std::size_t size, const fuzz::Options& options,
                  tKvKPosFiscalStreamWriter& writer) {
  const auto length = static_cast<int64_t>(size);
  tKvKPosStreamFileMem file;
  fuzz::Load(file, data, size);
  tKvFiscalStreamSourceBinary source(file, options.window ? length : 0);
  std::string outcome;
  try {
    tKvKPosFiscalStreamParser parser(options.version, &writer, &source);
    outcome = std::to_string(parser.ParseRange(file, options.lengthPrefixed, options.passLinks, length));
  } catch (const EKvRoot& e) {
    outcome = e.what();
  }
  return outcome + " @" + std::to_string(file.GetPosition());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  if (size < 1 || size > (1u << 20)) return 0;
  const fuzz::Options options = fuzz::DecodeOptions(data[0]);
  tKPosFiscalStreamWriterDummy discarding;
  tKvKPosFiscalStreamWriterChain building(nullptr);
  if (Parse(data + 1, size - 1, options, discarding) != Parse(data + 1, size - 1, options, building)) {
    std::abort();  // the check pass ended otherwise than a parse that builds the elements
  }
  return 0;
}
