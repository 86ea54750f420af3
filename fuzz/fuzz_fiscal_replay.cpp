// fuzz-links: jorvex_stream
// Arbitrary bytes as one block, parsed two ways that must give the writer
// the same events (positions, element classes, encodings and texts) and end
// alike: directly in the general mode, which reads every back link again,
// and into an event buffer in its own mode, which keeps fields as
// positions and whose events are then replayed (reading the elements then).
// Any difference aborts.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include "FuzzInput.h"
#include "base/KvErrors.h"
#include "stream/KvFiscalStreamSourceBinary.h"
#include "stream/KvKPosComStreamData.h"
#include "stream/KvKPosFiscalEventBuffer.h"
#include "stream/KvKPosFiscalStream.h"

namespace {

// Renders every event with the position it arrives at.
class tRenderingWriter final : public tKvKPosFiscalStreamWriter {
 public:
  std::string Events;

  void AddItem(int32_t n, std::unique_ptr<tKvKPosData> e) override {
    tKvKPosComStreamDestMem dest;
    try {
      e->WriteToStream(dest);
    } catch (const EKvRoot&) {
      // a value too long to write: the text below still tells
    }
    Put("Add" + S(n) + ":" + e->ClassName() + ":" + std::string(dest.Data()) + ":" +
        e->GetText(true));
  }
  void FileHeader(const tKvKPosTextFileHeaderRec&) override { Put("File"); }
  void StreamHeader(const tKvKPosFileHeaderRec& h) override {
    Put("Hdr" + S(h.Field1) + h.Field8.str());
  }
  void SetVersion(int32_t i, int32_t v) override { Put("Ver" + S(i) + "," + S(v)); }
  void BlockInfo(const tKvKPosBlockInfoRec& b) override {
    Put("Blk" + S(b.ID) + b.EcrName.str() + S(b.DataSign.Length));
  }
  void EntryStart(const tKvKPosEntryInfoRec& e) override {
    Put("Entry" + S(e.Type) + "," + S(e.Ver) + "," + S(e.VerMin) + "," + S(e.Codepage));
  }
  void EntryEnd() override { Put("End"); }
  void Link(int32_t d) override { Put("Link" + S(d)); }
  void RecordStart(int32_t type, int32_t level) override { Put("Rec" + S(type) + "," + S(level)); }

 private:
  static std::string S(int64_t v) { return std::to_string(v); }
  void Put(const std::string& token) { Events += "@" + S(file_pos()) + ":" + token + "\n"; }
};

// One block in memory with a source over it.
struct tBlock {
  tBlock(const uint8_t* data, std::size_t size, const fuzz::Options& options) {
    fuzz::Load(File, data, size);
    Source = std::make_unique<tKvFiscalStreamSourceBinary>(
        File, options.Window ? static_cast<int64_t>(size) : 0);
  }
  tKvKPosStreamFileMem File;
  std::unique_ptr<tKvFiscalStreamSourceBinary> Source;
};

// The outcome of a parse in mode into writer (the buffer in kEventBuffer):
// the result or the failure.
template <typename Writer>
std::string Parse(tBlock& block, const fuzz::Options& options, Writer& writer,
                  tKvKPosParseMode mode) {
  const int64_t size = block.File.GetSize();
  try {
    tKvKPosFiscalStreamParser parser(options.Version, &writer, block.Source.get());
    return "=" + std::to_string(parser.ParseRange(block.File, options.LengthPrefixed,
                                                  options.PassLinks, size, mode));
  } catch (const EKvRoot& e) {
    return e.what();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  if (size < 1 || size > (1u << 18)) return 0;
  const fuzz::Options options = fuzz::DecodeOptions(data[0]);

  tRenderingWriter direct;
  tBlock first(data + 1, size - 1, options);
  const std::string directEnd = Parse(first, options, direct, tKvKPosParseMode::kGeneral);

  tKvKPosFiscalEventBuffer buffer(std::size_t{1} << 30);
  tBlock second(data + 1, size - 1, options);
  const std::string bufferedEnd = Parse(second, options, buffer, tKvKPosParseMode::kEventBuffer);
  tRenderingWriter replayed;
  buffer.Replay(replayed, &second.File, second.Source.get());

  if (directEnd != bufferedEnd || direct.Events != replayed.Events) {
    std::fprintf(stderr, "direct: %s\n%s\nbuffered: %s\n%s\n", directEnd.c_str(),
                 direct.Events.c_str(), bufferedEnd.c_str(), replayed.Events.c_str());
    std::abort();
  }
  return 0;
}
