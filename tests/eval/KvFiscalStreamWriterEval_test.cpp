#include "eval/KvFiscalStreamWriterEval.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "EvalTestHelp.h"
#include "base/KvErrors.h"
#include "base/RaiseTestHelp.h"
#include "eval/InputTestHelp.h"
#include "eval/KvFiscalStreamEval.h"
#include "eval/KvFiscalStreamEvalExt.h"
#include "stream/KvKPosComStreamData.h"

namespace {

using input_test::tRecorder;

// Holds back entries of journal type 2, as a type filter does.
class tSkippingWriter : public tKvFiscalStreamWriterEval {
 public:
  using tKvFiscalStreamWriterEval::tKvFiscalStreamWriterEval;
  void EntryStart(const tKvKPosEntryInfoRec& info) override {
    set_skip_entry(info.Type == 2);
    tKvFiscalStreamWriterEval::EntryStart(info);
  }
};

// One block with one entry of the given type: a header record with a field.
void SendBlock(tKvKPosFiscalStreamWriter& w, int32_t blockId, int32_t entryType = 1) {
  tKvKPosBlockInfoRec block;
  block.ID = blockId;
  block.EcrNr = tKvBcdFix::FromText("7");
  tKvKPosEntryInfoRec entry;
  entry.Type = entryType;
  w.BlockInfo(block);
  w.EntryStart(entry);
  w.RecordStart(1, 1);
  w.RecordStart(1, 2);
  w.AddItem(3, std::make_unique<tKvKPosDataInt>(blockId));
  w.Link(9);
  w.EntryEnd();
}

TEST(WriterEval, RequiresAnEvaluator) {
  EXPECT_EQ(
      raise_test::MessageOf<EKvParam>([] { tKvFiscalStreamWriterEval(true, nullptr, nullptr); }),
      "[tKvFiscalStreamWriterEval] tKvFiscalStreamWriterEval.Create");
}

TEST(WriterEval, EveryEventGoesToTheEvaluatorAndOnAlongTheChain) {
  std::string log;
  eval_test::tRecordingEval eval(&log, "", true);
  auto next = std::make_unique<tRecorder>();
  const tRecorder& writers = *next;
  tKvFiscalStreamWriterEval writer(false, std::move(next), &eval);
  writer.FileHeader({});
  writer.StreamHeader({});
  writer.SetFilePos(77);
  writer.SetVersion(1, 1);
  SendBlock(writer, 5);
  EXPECT_EQ(log, "Hdr Ver(1,1) Blk(5) Jnl(1) Rec(1,1) Rec(1,2) Fld(3=5) Link(9) EoE");
  EXPECT_EQ(writers.Events,
            "Hdr Stream Ver(1,1) Blk(5) Jnl(1,0,0,0) Rec(1,1) Rec(1,2) Fld(3,I:5) Link(9) EoE");
  EXPECT_EQ(writer.file_pos(), 77);
}

// The pickers see a block that repeats the previous one only when skipping
// is off; the writers behind the adapter see every block; a block without
// number never repeats.
TEST(WriterEval, RepeatedBlocks) {
  const auto seen = [](int id) {
    return "BlockStart(" + std::to_string(id) + ") EntryStart SetEntryType(1) Header EntryEnd";
  };
  struct Case {
    bool Skip;
    std::vector<int> Blocks;
    std::string Picked;
  };
  const Case cases[] = {
      {true, {5, 5, 6}, seen(5) + " BlockEnd " + seen(6) + " BlockEnd"},
      {false, {5, 5}, seen(5) + " BlockEnd " + seen(5) + " BlockEnd"},
      {true, {0, 0}, seen(0) + " BlockEnd " + seen(0) + " BlockEnd"},
  };
  for (const Case& c : cases) {
    std::string log;
    eval_test::tRecordingPicker picker(&log);
    tKvFiscalStreamEvalExt eval(&picker);
    auto next = std::make_unique<tRecorder>();
    const tRecorder& writers = *next;
    tKvFiscalStreamWriterEval writer(c.Skip, std::move(next), &eval);
    std::string all;
    for (size_t i = 0; i < c.Blocks.size(); ++i) {
      SendBlock(writer, c.Blocks[i]);
      EXPECT_EQ(writer.in_repeated_block(), c.Skip && i == 1 && c.Blocks[0] != 0) << i;
      all += std::string(i ? " " : "") + "Blk(" + std::to_string(c.Blocks[i]) +
             ") Jnl(1,0,0,0) Rec(1,1) Rec(1,2) Fld(3,I:" + std::to_string(c.Blocks[i]) +
             ") Link(9) EoE";
    }
    eval.Close();
    EXPECT_EQ(log, c.Picked) << "skipping " << c.Skip << " blocks " << c.Blocks[0];
    EXPECT_EQ(writers.Events, all) << "skipping " << c.Skip << " blocks " << c.Blocks[0];
  }
}

TEST(WriterEval, SkippedEntriesAreHeldBackUpToTheirEnd) {
  std::string log;
  eval_test::tRecordingEval eval(&log, "", true);
  tSkippingWriter writer(true, nullptr, &eval);
  SendBlock(writer, 1, 2);
  EXPECT_FALSE(writer.skip_entry());
  SendBlock(writer, 2, 1);
  // Links are held back for repeated blocks only.
  EXPECT_EQ(log, "Blk(1) Link(9) Blk(2) Jnl(1) Rec(1,1) Rec(1,2) Fld(3=2) Link(9) EoE");
}

}  // namespace
