#include "eval/KvFiscalStreamEval.h"
#include "eval/KvFiscalStreamEvalWriteJnlView.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <memory>
#include <regex>
#include <stdexcept>
#include <string>

#include "EvalTestHelp.h"
#include "base/KvErrors.h"
#include "base/RaiseTestHelp.h"

namespace {

using eval_test::Play;
using eval_test::Row;
using eval_test::tRecordingEval;

TEST(EvalBase, EveryEventReachesTheNextEvaluator) {
  std::string log;
  tRecordingEval head(&log, "A.", false, std::make_unique<tRecordingEval>(&log, "B."));
  head.Text("t");
  head.FileHeader({});
  Play(head, "V1,1 B1 E R1@1 F1=i:1 e");
  head.Link(4);
  EXPECT_EQ(log,
            "A.Text B.Text A.Hdr B.Hdr A.Ver(1,1) B.Ver(1,1) A.Blk(1) B.Blk(1) A.Jnl(1) B.Jnl(1) "
            "A.Rec(1,1) B.Rec(1,1) A.Fld(1=1) B.Fld(1=1) A.EoE A.EntryCompleted "
            "A.LevelClosed(0,0,end) B.EoE B.EntryCompleted B.LevelClosed(0,0,end) A.Link(4) "
            "B.Link(4)");
}

TEST(EvalBase, PathFollowsRecordsAndFields) {
  tKvFiscalStreamEval eval;
  Play(eval, "E R1002@1 R2@2 R5@3 F7=i:1");
  // A field sits one level below its record.
  EXPECT_EQ(Row(eval.cur_level(), eval.path(0), eval.path(1), eval.path(2), eval.path(3),
                eval.path(4), eval.path(5), eval.path(33)),
            "3|-1|1002|2|5|7|0|-1");
  EXPECT_EQ(Row(eval.entry_type().Code, eval.entry_type().Origin), "2|1");
  Play(eval, "R0@2");  // ends level 3 and below, level 2 stays
  EXPECT_EQ(Row(eval.cur_level(), eval.path(2), eval.path(3)), "2|2|0");
  Play(eval, "R0@0");  // ends everything
  EXPECT_EQ(Row(eval.cur_level(), eval.path(1), eval.entry_type().Code, eval.entry().Type),
            "0|0|0|-1");
  Play(eval, "R1@1 R9@32 R0@0 R7@31 F3=i:1");  // the deepest levels are usable
  EXPECT_EQ(Row(eval.path(31), eval.path(32)), "7|3");
}

// What ends records and entries (record starts left out of the log).
TEST(EvalBase, CallOrders) {
  const std::pair<const char*, const char*> cases[] = {
      {"R1@1 R2@2 R3@3", ""},                       // deeper: nothing ends
      {"R1@1 R2@2 R3@3 R4@2", "LevelClosed(2,4)"},  // a sibling at level 2
      {"R1@1 R2@2 R3@3 R0@1", "LevelClosed(1,0)"},  // a pure level end below
      {"R1@1 R2@2 R0@2", "LevelClosed(2,0)"},       // id 0 at the current level
      {"R1@1 R2@2 R0@3", ""},                       // id 0 deeper: nothing ends
      {"R1@1 R1@1", "LevelClosed(1,1)"},            // a new entry record
      {"E R1@1 e e", "Jnl(1) EoE EntryCompleted LevelClosed(0,0,end) EoE"},  // closed once
      {"B1 B2", "Blk(1) Blk(2) BlockEnd EntryCompleted LevelClosed(0,0,end)"},
  };
  for (const auto& [script, calls] : cases) {
    std::string log;
    tRecordingEval eval(&log);
    Play(eval, script);
    EXPECT_EQ(std::regex_replace(std::regex_replace(log, std::regex("Rec\\S* ?"), ""),
                                 std::regex(" $"), ""),
              calls)
        << script;
  }
}

TEST(EvalBase, CloseEndsTheBlockOnceThenClosesTheNextEvaluators) {
  std::string log;
  {
    tRecordingEval head(&log, "A.", false, std::make_unique<tRecordingEval>(&log, "B."));
    Play(head, "B1 E R1@1 e");
    log.clear();
    head.Close();
    EXPECT_EQ(log, "A.BlockEnd B.BlockEnd");
    EXPECT_EQ(head.next(), nullptr);
    EXPECT_FALSE(head.block_open());
    head.Close();
  }
  EXPECT_EQ(log, "A.BlockEnd B.BlockEnd");  // nothing more at destruction

  log.clear();
  { tRecordingEval eval(&log, "A."); }  // a new evaluator's entry is closed too
  EXPECT_EQ(log, "A.BlockEnd A.EntryCompleted A.LevelClosed(0,0,end)");

  log.clear();
  tRecordingEval failing(&log, "A.", false, std::make_unique<tRecordingEval>(&log, "B."));
  failing.FailBlockEnd = true;
  EXPECT_THROW(failing.Close(), std::runtime_error);
  EXPECT_EQ(log, "A.BlockEnd B.BlockEnd B.EntryCompleted B.LevelClosed(0,0,end)");
}

// Levels come from untrusted input: outside 1-32 they must fail cleanly and
// never touch memory outside the path.
TEST(EvalBase, LevelsOutsideThePathRaise) {
  const std::pair<const char*, const char*> cases[] = {
      {"R1@33", "RecordStart: level 33 outside the record levels 1 to 32 (identifier 1)"},
      {"R1@1 R0@-1", "RecordStart: level -1 outside the record levels 1 to 32 (identifier 0)"},
      {"R5@0", "RecordStart: level 0 outside the record levels 1 to 32 (identifier 5)"},
      {"R1@2147483647", "RecordStart: level 2147483647 outside"},
      {"R1@1 R9@32 F4=i:1", "Field: level 33 outside the record levels 1 to 32 (identifier 4)"},
  };
  for (const auto& [script, message] : cases) {
    tKvFiscalStreamEval eval;
    EXPECT_THAT(raise_test::MessageOf<EKvMisc>([&, script = script] { Play(eval, script); }),
                ::testing::StartsWith(std::string("[tKvFiscalStreamEval] ") + message))
        << script;
    EXPECT_LE(eval.cur_level(), tKvFiscalStreamEval::kMaxLevel) << script;
    // The view's heading evaluator keeps no path but fails alike, under its
    // own name.
    tKvFiscalStreamEvalWriteJnlView heading(nullptr, nullptr);
    EXPECT_THAT(raise_test::MessageOf<EKvMisc>([&, script = script] { Play(heading, script); }),
                ::testing::StartsWith(std::string("[tKvFiscalStreamEvalWriteJnlView] ") + message))
        << script;
  }
}

}  // namespace
