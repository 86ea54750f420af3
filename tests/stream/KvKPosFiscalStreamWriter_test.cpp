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

// A chain link that counts its destructions.
class tCountedWriter final : public tKvKPosFiscalStreamWriterChain {
 public:
  tCountedWriter(int& freed, std::unique_ptr<tKvKPosFiscalStreamWriter> next)
      : tKvKPosFiscalStreamWriterChain(std::move(next)), freed_(freed) {}
  ~tCountedWriter() override { ++freed_; }

 private:
  int& freed_;
};

// Sends one of every event.
void SendAll(tKvKPosFiscalStreamWriter& w, int& freed) {
  tKvKPosTextFileHeaderRec file;
  file.Int1 = 1;
  tKvKPosFileHeaderRec hdr;
  hdr.Field1 = 7;
  hdr.Field8 = "H";
  tKvKPosBlockInfoRec blk;
  blk.ID = 3;
  blk.EcrName = "Kasse";
  w.SetFilePos(42);
  w.FileHeader(file);
  w.StreamHeader(hdr);
  w.SetVersion(1, 1);
  w.BlockInfo(blk);
  w.EntryStart(tKvKPosEntryInfoRec{1, 2, 0, 1252});
  w.RecordStart(201, 1);
  w.AddItem(5, std::make_unique<tCountedData>(freed));
  w.Link(12);
  w.EntryEnd();
}

// A chain passes every event on in order; a chain end or the dummy frees
// every element, drops the rest and still keeps the position.
TEST(FiscalStreamWriter, ChainsForwardEveryEventAndEndsFreeElements) {
  auto tail = std::make_unique<tRecordingWriter>();
  tRecordingWriter* rec = tail.get();
  tKvKPosFiscalStreamWriterChain chain(std::move(tail));
  int freed = 0;
  SendAll(chain, freed);
  EXPECT_EQ(rec->events,
            "Pos(42) File(1) Hdr(7,H) Ver(1,1) Blk(3,Kasse,0) Entry(1,2,0,1252) Rec(201,1) "
            "Add(5:2=counted) Link(12) End");
  EXPECT_EQ(chain.file_pos() + rec->file_pos(), 84);
  EXPECT_EQ(freed, 1);

  tKvKPosFiscalStreamWriterChain end(nullptr);
  SendAll(end, freed);
  EXPECT_EQ(freed, 2);
  EXPECT_EQ(end.file_pos(), 42);
  tKPosFiscalStreamWriterDummy dummy;
  SendAll(dummy, freed);
  EXPECT_EQ(freed, 3);
  EXPECT_EQ(dummy.file_pos(), 42);
}

TEST(FiscalStreamWriter, BlockInfoWritersKeepTheirOwnCopy) {
  auto second = std::make_unique<tKvKPosFiscalStreamWriterBlkInfo>();
  tKvKPosFiscalStreamWriterBlkInfo* second_ptr = second.get();
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
  for (const auto* w : {&first, second_ptr}) {
    EXPECT_EQ(w->LastBlockInfo().ID, 17);
    EXPECT_EQ(w->LastBlockInfo().SwVer, "1.2");
    EXPECT_EQ(w->LastBlockInfo().DataSign.View(), "sig");
  }
}

TEST(FiscalStreamWriter, FreeingTheFirstFreesTheChain) {
  int freed = 0;
  {
    auto third = std::make_unique<tCountedWriter>(freed, nullptr);
    auto second = std::make_unique<tCountedWriter>(freed, std::move(third));
    tCountedWriter first(freed, std::move(second));
  }
  EXPECT_EQ(freed, 3);
}

}  // namespace
