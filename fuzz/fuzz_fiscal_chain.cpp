// fuzz-links: jorvex_stream
// Arbitrary bytes handled as one block of the ASCII interface input is:
// the block information is read, then the block is parsed into a writer
// chain whose links look at every element (texts, accessors, clone,
// re-encoding) and whose end frees it. Only the EKvRoot family may leave.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "FuzzInput.h"
#include "base/KvErrors.h"
#include "stream/KvFiscalStreamSourceBinary.h"
#include "stream/KvKPosComStreamData.h"
#include "stream/KvKPosFiscalStream.h"

namespace {

// Reads every element it passes on and keeps the records it sees.
class tInspectingWriter final : public tKvKPosFiscalStreamWriterChain {
 public:
  using tKvKPosFiscalStreamWriterChain::tKvKPosFiscalStreamWriterChain;

  void AddItem(int32_t number, std::unique_ptr<tKvKPosData> element) override {
    Inspect(*element);
    tKvKPosFiscalStreamWriterChain::AddItem(number, std::move(element));
  }
  void StreamHeader(const tKvKPosFileHeaderRec& header) override {
    sink_ += header.Field8.size() + header.Field20.size();
    tKvKPosFiscalStreamWriterChain::StreamHeader(header);
  }
  void BlockInfo(const tKvKPosBlockInfoRec& info) override {
    last_block_ = info;
    sink_ += static_cast<std::size_t>(info.DataSign.View().size());
    tKvKPosFiscalStreamWriterChain::BlockInfo(info);
  }
  void RecordStart(int32_t type, int32_t level) override {
    const tKvKPosFiscalType t = DecodeFiscalType(type);
    sink_ += OriginText(t).size() + static_cast<std::size_t>(level);
    tKvKPosFiscalStreamWriterChain::RecordStart(type, level);
  }

 private:
  void Inspect(const tKvKPosData& e) {
    sink_ += e.GetText(true).size() + e.GetText(false).size();
    const int32_t count = e.GetItemCount();
    for (int32_t i = 0; i <= count + 1; ++i) {
      sink_ += e.GetItemKind(i) + static_cast<std::size_t>(e.IsEmpty(i));
      sink_ += static_cast<std::size_t>(e.GetAsInteger(i));
      sink_ += e.GetAsString(i).size() + e.GetAsBinary(i).size() + e.GetAsHex(i).size();
      sink_ += e.GetAsBitset(i)->GetCount();
      sink_ += static_cast<std::size_t>(e.GetAsDateTime(i).Value);
      sink_ += static_cast<std::size_t>(e.GetAsSeconds(i));
      sink_ += static_cast<std::size_t>(e.GetAsDate(i).Value);
      sink_ += e.GetAsBcd(i).Bytes[0] + e.GetAsBcdFix(i).Bytes[9];
    }
    const std::unique_ptr<tKvKPosData> copy = e.Clone();
    sink_ += static_cast<std::size_t>(copy->Compare(e));
    tKvKPosComStreamDestMem dest;
    try {
      copy->WriteToStream(dest);  // a value too long to write raises code 3
    } catch (const EKvRoot&) {
    }
    sink_ += dest.Data().size();
  }

  tKvKPosBlockInfoRec last_block_;
  std::size_t sink_ = 0;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  if (size < 1 || size > (1u << 20)) return 0;
  const fuzz::Options options = fuzz::DecodeOptions(data[0]);
  const auto length = static_cast<int64_t>(size - 1);
  tKvKPosStreamFileMem file;
  fuzz::Load(file, data + 1, size - 1);
  tKvFiscalStreamSourceBinary source(file, options.Window ? length : 0);

  try {
    tKvKPosBlockInfoRec info;
    ReadBlockInfo(options.Version, source, info);
  } catch (const EKvRoot&) {
  }

  auto chain = std::make_unique<tKvKPosFiscalStreamWriterBlkInfo>(
      std::make_unique<tInspectingWriter>(std::make_unique<tKvKPosFiscalStreamWriterChain>(
          std::unique_ptr<tKvKPosFiscalStreamWriter>())));
  try {
    file.SetPosition(0);
    tKvKPosFiscalStreamParser parser(options.Version, chain.get(), &source);
    parser.ParseRange(file, options.LengthPrefixed, options.PassLinks, length);
    // A second range over the same bytes, as the real run does after the
    // check pass.
    file.SetPosition(0);
    parser.ParseRange(file, options.LengthPrefixed, options.PassLinks, length);
  } catch (const EKvRoot&) {
  }
  return 0;
}
