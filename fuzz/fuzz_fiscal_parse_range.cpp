// fuzz-links: jorvex_stream
// Arbitrary bytes through ParseRange over a memory stream three times: into
// the discarding writer (the check pass, which checks elements in place),
// into a recording writer (the real parse, which reads plain integers in
// place), and by a subclass into a recording writer (the general parse,
// without either shortcut). Only the EKvRoot family may leave the parser,
// and all three must end alike: same result or same failure, same position,
// and the last two with the same events.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>

#include "FuzzInput.h"
#include "base/KvErrors.h"
#include "stream/KvFiscalStreamSourceBinary.h"
#include "stream/KvKPosFiscalStream.h"

namespace {

class tRecorder final : public tKvKPosFiscalStreamWriter {
 public:
  std::string events;
  void AddItem(int32_t n, std::unique_ptr<tKvKPosData> e) override {
    Put('F', n, e->GetDataKind());
    events += e->GetText(true);
  }
  void FileHeader(const tKvKPosTextFileHeaderRec&) override { Put('H', 0, 0); }
  void StreamHeader(const tKvKPosFileHeaderRec& h) override { Put('S', h.Field1, h.Field2); }
  void SetVersion(int32_t i, int32_t v) override { Put('V', i, v); }
  void BlockInfo(const tKvKPosBlockInfoRec& b) override { Put('B', b.ID, b.DataSign.Length); }
  void EntryStart(const tKvKPosEntryInfoRec& e) override {
    Put('E', e.Type, e.Ver);
    Put('e', e.VerMin, e.Codepage);
  }
  void EntryEnd() override { Put('X', 0, 0); }
  void Link(int32_t d) override { Put('L', d, 0); }
  void RecordStart(int32_t t, int32_t l) override { Put('R', t, l); }

 private:
  void Put(char kind, int64_t a, int64_t b) {
    events +=
        kind + std::to_string(a) + ',' + std::to_string(b) + '@' + std::to_string(file_pos()) + ' ';
  }
};

// ParseRange takes none of its shortcuts for a subclass.
class tGeneralParser final : public tKvKPosFiscalStreamParser {
 public:
  using tKvKPosFiscalStreamParser::tKvKPosFiscalStreamParser;
  uint8_t Item(int32_t number, std::unique_ptr<tKvKPosData> element) override {
    return tKvKPosFiscalStreamParser::Item(number, std::move(element));
  }
};

template <typename Parser>
std::string Parse(const uint8_t* data, std::size_t size, const fuzz::Options& options,
                  tKvKPosFiscalStreamWriter& writer) {
  const auto length = static_cast<int64_t>(size);
  tKvKPosStreamFileMem file;
  fuzz::Load(file, data, size);
  tKvFiscalStreamSourceBinary source(file, options.window ? length : 0);
  std::string outcome;
  try {
    Parser parser(options.version, &writer, &source);
    outcome =
        std::to_string(parser.ParseRange(file, options.lengthPrefixed, options.passLinks, length));
  } catch (const EKvRoot& e) {
    outcome = e.what();
    const std::string general = "[tGeneralParser]";
    if (const std::size_t at = outcome.find(general); at != std::string::npos) {
      outcome.replace(at, general.size(), "[tKvKPosFiscalStreamParser]");
    }
  }
  return outcome + " @" + std::to_string(file.GetPosition());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  if (size < 1 || size > (1u << 20)) return 0;
  const fuzz::Options options = fuzz::DecodeOptions(data[0]);
  tKPosFiscalStreamWriterDummy discarding;
  tRecorder real, general;
  const std::string checked =
      Parse<tKvKPosFiscalStreamParser>(data + 1, size - 1, options, discarding);
  const std::string built = Parse<tKvKPosFiscalStreamParser>(data + 1, size - 1, options, real);
  const std::string reference = Parse<tGeneralParser>(data + 1, size - 1, options, general);
  if (checked != reference || built != reference || real.events != general.events) {
    std::abort();  // a shortcut of ParseRange ended otherwise than the general parse
  }
  return 0;
}
