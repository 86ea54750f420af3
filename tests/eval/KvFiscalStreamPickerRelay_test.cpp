#include "eval/KvFiscalStreamPickerRelay.h"

#include <gtest/gtest.h>

#include <string>

#include "EvalTestHelp.h"
#include "base/KvErrors.h"

namespace {

using eval_test::tRecordingPicker;

class tLoggedLines final : public tKvFiscalDataDestAscii {
 public:
  explicit tLoggedLines(std::string* log) : log_(log) {}
  void WriteLine(std::string_view text) override {
    *log_ += (log_->empty() ? "Line(" : " Line(") + std::string(text) + ")";
  }

 private:
  std::string* log_;
};

tKvKPosFiscalType Type(int32_t code) { return DecodeFiscalType(code); }

// Every kind of call, in rounds that differ in their texts and types.
void Play(tKvFiscalStreamPicker& p, tKvFiscalDataDestAscii& lines, int rounds) {
  tKvKPosTextFileHeaderRec file;
  file.Text = "file";
  p.FileHeader(file);
  for (int r = 0; r < rounds; ++r) {
    tKvKPosBlockInfoRec block;
    block.ID = r;
    p.BlockStart(block);
    p.EntryStart({}), p.SetEntryType(Type(1));
    // Large records change in a few places from one round to the next.
    tFiscHeaderRec header;
    header.DocNo = r;
    header.EcrText = std::string(r % 4 * 30, 'e');
    header.ManufacturingId = r % 2 == 0 ? "M" : "";
    p.Header(header);
    lines.WriteLine("heading " + std::to_string(r));
    lines.WriteLine("");
    tFiscSaleItemRec item;
    item.Text = std::string(r % 3 * 20, 't');
    for (int m = 0; m < r % 3; ++m) {
      tFiscModifierRec modifier;
      modifier.Modifier.Number = m + 1;
      item.Modifiers.Add(modifier);
    }
    tFiscPLULinkRec link;
    link.Quantity = tKvBcd::FromInteger(r);
    tFiscModifierRec modifier;
    if (r % 2 == 1) link.Modifiers.Add(modifier);
    p.PLULink(link), p.SaleItem(item), p.EntryEnd();
    p.EntryStart({}), p.SetEntryType(Type(1));  // the same type again
    tFiscClosingRec closing;
    closing.Tip.Flag = r % 3 == 1;
    tFiscSignatureRec signature;
    signature.Assign(std::string(static_cast<size_t>(r) * 25, 's'));
    p.Closing(closing), p.Payment({}), p.ReportGroup({}, r % 2), p.Event({}), p.EntryEnd();
    p.EntryStart({}), p.SetEntryType(Type(r % 2 == 0 ? 3 : 14));
    p.ReportCounters({}), p.ReportTax({}), p.ReportMedia({}), p.Signature(signature);
    p.Adjust({}), p.Deposit({}), p.EntryEnd(), p.BlockEnd();
  }
}

TEST(PickerRelay, TheTargetSeesWhatADirectCallSees) {
  std::string direct;
  tRecordingPicker expected(&direct);
  tLoggedLines directLines(&direct);
  Play(expected, directLines, 40);

  // A chunk per message, a few messages, many; one or three in flight.
  for (const auto& [chunkBytes, depth] :
       {std::pair<size_t, size_t>{16, 1}, {4096, 3}, {256 * 1024, 3}}) {
    std::string relayed;
    tRecordingPicker target(&relayed);
    tLoggedLines sink(&relayed);
    {
      tKvFiscalStreamPickerRelay relay(target, chunkBytes, depth);
      const auto lines = relay.RelayedLines(sink);
      Play(relay, *lines, 40);
      relay.Drain();
    }
    SCOPED_TRACE(chunkBytes);
    EXPECT_EQ(relayed, direct);
    EXPECT_TRUE(target.SaleItems == expected.SaleItems);
    EXPECT_TRUE(target.Links == expected.Links);
    EXPECT_TRUE(target.Payments == expected.Payments);
    EXPECT_TRUE(target.Headers == expected.Headers);
    EXPECT_TRUE(target.Closings == expected.Closings);
    EXPECT_TRUE(target.Signatures == expected.Signatures);
    EXPECT_EQ(target.file_header().Text, "file");
  }
}

// A large record stays where the target received it, unchanged, until the
// next record of its type (what the journal view relies on).
TEST(PickerRelay, TheLastLargeRecordOfATypeStaysWhereItWasReceived) {
  static_assert(tKvFiscalStreamPickerRelay::kKeepsLast<tFiscHeaderRec>);
  class tPointing final : public tKvFiscalStreamPicker {
   public:
    void Header(const tFiscHeaderRec& rec) override { At = &rec, Copy = rec; }
    void EntryEnd() override { Same = Same && At != nullptr && *At == Copy; }
    const tFiscHeaderRec* At = nullptr;
    tFiscHeaderRec Copy;
    bool Same = true;
  } target;
  tKvFiscalStreamPickerRelay relay(target, 4096, 3);
  for (int r = 0; r < 50; ++r) {
    tFiscHeaderRec header;
    header.DocNo = r;
    header.EcrText = std::string(r % 7 * 10, 'e');
    relay.EntryStart({}), relay.SetEntryType(Type(1)), relay.Header(header);
    relay.SaleItem({}), relay.Closing({}), relay.EntryEnd();
  }
  relay.Drain();
  EXPECT_TRUE(target.Same);
  EXPECT_EQ(target.Copy.DocNo, 49);
}

// The target's first failure reaches the producer; nothing after it is
// delivered; records never delivered are released (sanitizer builds).
TEST(PickerRelay, TheTargetsFailureStopsTheProducer) {
  class tFailing final : public tRecordingPicker {
   public:
    using tRecordingPicker::tRecordingPicker;
    void SaleItem(const tFiscSaleItemRec& rec) override {
      if (++items_ == 3) throw EKvIo("disk full");
      tRecordingPicker::SaleItem(rec);
    }

   private:
    int items_ = 0;
  };
  for (size_t chunkBytes : {size_t{16}, size_t{256 * 1024}}) {
    std::string log;
    tFailing target(&log);
    tLoggedLines sink(&log);
    tKvFiscalStreamPickerRelay relay(target, chunkBytes, 2);
    const auto lines = relay.RelayedLines(sink);
    try {
      Play(relay, *lines, 40);
      relay.Drain();
      ADD_FAILURE() << "no failure";
    } catch (const EKvIo& e) {
      EXPECT_STREQ(e.what(), "disk full");
    }
    EXPECT_EQ(target.SaleItems.size(), 2u);
    EXPECT_EQ(target.Events.size(), 2u);  // the rounds before the failing one
    EXPECT_THROW(relay.Drain(), EKvIo);   // and again
  }
}

// Released without Drain: what is still queued is dropped, not delivered.
TEST(PickerRelay, ReleasedWithoutDrainDropsTheRest) {
  std::string log;
  tRecordingPicker target(&log);
  {
    tLoggedLines sink(&log);  // borrowed by the relay: outlives it
    tKvFiscalStreamPickerRelay relay(target, 16, 1);
    const auto lines = relay.RelayedLines(sink);
    Play(relay, *lines, 5);
  }
  EXPECT_LE(target.SaleItems.size(), 5u);
}

}  // namespace
