#include "stream/KvKPosFiscalStreamWriter.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "FiscalStreamTestHelp.h"

using namespace fisc_test;

namespace {

// An element that counts its destructions.
class tCountedData final : public tKvKPosData {
 public:
  explicit tCountedData(int& freed) : tKvKPosData(KvDataKind::kInt), freed_(freed) {}
  ~tCountedData() override { ++freed_; }
  std::unique_ptr<tKvKPosData> Clone() const override {
    return std::make_unique<tCountedData>(freed_);
  }
  void WriteToStream(tKvKPosComStreamDest&) const override {}
  std::string GetText(bool) const override { return "counted"; }
  int Compare(const tKvKPosData&) const override { return KvCompare::kUnordered; }

 private:
  int& freed_;
};

// A chain passes every event on in order; a chain end or the dummy frees
// every element, drops the rest and still keeps the position.
TEST(FiscalStreamWriter, ChainsForwardEveryEventAndEndsFreeElements) {
  // Sends every event, then SetFilePos, which travels like an event.
  const auto sendAll = [](tKvKPosFiscalStreamWriter& w, int& freed) {
    SendEveryEvent(w, std::make_unique<tCountedData>(freed));
    w.SetFilePos(42);
  };
  auto tail = std::make_unique<tRecordingWriter>();
  tRecordingWriter* rec = tail.get();
  tKvKPosFiscalStreamWriterChain chain(std::move(tail));
  int freed = 0;
  sendAll(chain, freed);
  EXPECT_EQ(rec->Events,
            "File(1) Hdr(7,H) Ver(1,2) Blk(42,Kasse 1,0) Entry(1,2,3,1252) Rec(201,1) "
            "Add(3:2=counted) Add(4:7=" +
                std::string(300, 'x') + ") Link(17) Rec(0,1) End Pos(42)");
  EXPECT_EQ(chain.file_pos() + rec->file_pos(), 84);
  EXPECT_EQ(freed, 1);

  tKvKPosFiscalStreamWriterChain end(nullptr);
  sendAll(end, freed);
  EXPECT_EQ(freed, 2);
  EXPECT_EQ(end.file_pos(), 42);
  tKPosFiscalStreamWriterDummy dummy;
  sendAll(dummy, freed);
  EXPECT_EQ(freed, 3);
  EXPECT_EQ(dummy.file_pos(), 42);
}

TEST(FiscalStreamWriter, BlockInfoWritersKeepTheirOwnCopy) {
  auto second = std::make_unique<tKvKPosFiscalStreamWriterBlkInfo>();
  tKvKPosFiscalStreamWriterBlkInfo* secondPtr = second.get();
  tKvKPosFiscalStreamWriterBlkInfo first(std::move(second));
  EXPECT_EQ(first.LastBlockInfo().ID, 0);
  tKvKPosBlockInfoRec blk;
  blk.Init();
  blk.ID = 17;
  blk.SwVer = "1.2";
  blk.DataSign.AssignBinary("sig");
  first.BlockInfo(blk);
  blk.ID = 99;  // changed by the producer after the call
  blk.SwVer = "x";
  for (const auto* w : {&first, secondPtr}) {
    EXPECT_EQ(w->LastBlockInfo().ID, 17);
    EXPECT_EQ(w->LastBlockInfo().SwVer, "1.2");
    EXPECT_EQ(w->LastBlockInfo().DataSign.View(), "sig");
  }
}

}  // namespace
