#include "eval/KvFiscalStreamWriterEval.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "EvalTestHelp.h"
#include "eval/InputTestHelp.h"
#include "eval/KvFiscalStreamEval.h"
#include "eval/KvFiscalStreamEvalExt.h"
#include "stream/KvKPosComStreamData.h"

namespace {

using input_test::tRecorder;

// One block with one entry: a header record with a field. (Entries held back
// by their type: FiscalStreamWriterTypeDependent_test.)
void SendBlock(tKvKPosFiscalStreamWriter& w, int32_t blockId) {
  tKvKPosBlockInfoRec block;
  block.ID = blockId;
  block.EcrNr = tKvBcdFix::FromText("7");
  tKvKPosEntryInfoRec entry;
  entry.Type = 1;
  w.BlockInfo(block);
  w.EntryStart(entry);
  w.RecordStart(1, 1);
  w.RecordStart(1, 2);
  w.AddItem(3, std::make_unique<tKvKPosDataInt>(blockId));
  w.Link(9);
  w.EntryEnd();
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

}  // namespace
