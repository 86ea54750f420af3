// fuzz-links: jorvex_stream
// Arbitrary bytes through ParseRange over a memory stream twice, into a
// recording writer: in the check mode (which checks elements in place and
// must give the writer no event) and in the general mode. Only the EKvRoot
// family may leave the parser, and both must end alike: same result or same
// failure, same position. (The event-buffer mode: fuzz_fiscal_replay.)
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
  std::string Events;
  void AddItem(int32_t n, std::unique_ptr<tKvKPosData> e) override {
    Put('F', n, e->GetDataKind());
    Events += e->GetText(true);
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
    Events +=
        kind + std::to_string(a) + ',' + std::to_string(b) + '@' + std::to_string(file_pos()) + ' ';
  }
};

std::string Parse(const uint8_t* data, std::size_t size, const fuzz::Options& options,
                  tKvKPosFiscalStreamWriter& writer, tKvKPosParseMode mode) {
  const auto length = static_cast<int64_t>(size);
  tKvKPosStreamFileMem file;
  fuzz::Load(file, data, size);
  tKvFiscalStreamSourceBinary source(file, options.Window ? length : 0);
  std::string outcome;
  try {
    tKvKPosFiscalStreamParser parser(options.Version, &writer, &source);
    outcome = std::to_string(
        parser.ParseRange(file, options.LengthPrefixed, options.PassLinks, length, mode));
  } catch (const EKvRoot& e) {
    outcome = e.what();
  }
  return outcome + " @" + std::to_string(file.GetPosition());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  if (size < 1 || size > (1u << 20)) return 0;
  const fuzz::Options options = fuzz::DecodeOptions(data[0]);
  tRecorder checking, general;
  const std::string checked =
      Parse(data + 1, size - 1, options, checking, tKvKPosParseMode::kCheck);
  const std::string reference =
      Parse(data + 1, size - 1, options, general, tKvKPosParseMode::kGeneral);
  if (checked != reference || !checking.Events.empty()) {
    std::abort();  // the check mode ended otherwise than the general parse
  }
  return 0;
}
