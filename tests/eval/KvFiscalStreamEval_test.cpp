#include "eval/KvFiscalStreamEval.h"

#include <gtest/gtest.h>

#include <memory>
#include <stdexcept>
#include <string>

#include "EvalTestHelp.h"
#include "base/KvErrors.h"

namespace {

using eval_test::Play;

// Writes every operation it sees to *log as "<name>.<operation>", then does
// what the base does.
class tRecordingEval : public tKvFiscalStreamEval {
 public:
  tRecordingEval(std::string* log, std::string name,
                 std::unique_ptr<tKvFiscalStreamEval> next = nullptr)
      : tKvFiscalStreamEval(std::move(next)), log_(log), name_(std::move(name)) {}
  ~tRecordingEval() override { CloseQuietly(); }

  void BlockEnd() override {
    Note("BlockEnd");
    if (fail_block_end) throw std::runtime_error("block end failed");
    tKvFiscalStreamEval::BlockEnd();
  }
  void EntryCompleted() override { Note("EntryCompleted"); }
  void LevelClosed(int32_t level, int32_t id, bool entryEnd) override {
    Note("LevelClosed(" + std::to_string(level) + "," + std::to_string(id) + "," +
         (entryEnd ? "end" : "-") + ")");
    tKvFiscalStreamEval::LevelClosed(level, id, entryEnd);
  }
  void Text(std::string_view text) override {
    Note("Text(" + std::string(text) + ")");
    tKvFiscalStreamEval::Text(text);
  }
  void FileHeader(const tKvKPosTextFileHeaderRec& header) override {
    Note("FileHeader");
    tKvFiscalStreamEval::FileHeader(header);
  }
  void SetVersion(int32_t index, int32_t value) override {
    Note("SetVersion");
    tKvFiscalStreamEval::SetVersion(index, value);
  }
  void BlockStart(const tKvKPosBlockInfoRec& info) override {
    Note("BlockStart");
    tKvFiscalStreamEval::BlockStart(info);
  }
  void EntryStart(const tKvKPosEntryInfoRec& info) override {
    Note("EntryStart");
    tKvFiscalStreamEval::EntryStart(info);
  }
  void EntryEnd() override {
    Note("EntryEnd");
    tKvFiscalStreamEval::EntryEnd();
  }
  void Link(int32_t distance) override {
    Note("Link");
    tKvFiscalStreamEval::Link(distance);
  }
  void RecordStart(int32_t id, int32_t level) override {
    Note("RecordStart");
    tKvFiscalStreamEval::RecordStart(id, level);
  }
  void Field(int32_t id, const tKvKPosData& element) override {
    Note("Field");
    tKvFiscalStreamEval::Field(id, element);
  }

  bool fail_block_end = false;

 private:
  void Note(const std::string& what) {
    if (!log_->empty()) *log_ += ' ';
    *log_ += name_ + "." + what;
  }
  std::string* log_;
  std::string name_;
};

TEST(EvalBase, EveryEventReachesTheNextEvaluator) {
  std::string log;
  tRecordingEval head(&log, "A", std::make_unique<tRecordingEval>(&log, "B"));
  head.Text("t");
  head.FileHeader({});
  Play(head, "V1,1 B1 E R1@1 F1=i:1 e");
  head.Link(4);
  EXPECT_EQ(log,
            "A.Text(t) B.Text(t) A.FileHeader B.FileHeader A.SetVersion B.SetVersion "
            "A.BlockStart B.BlockStart A.EntryStart B.EntryStart A.RecordStart B.RecordStart "
            "A.Field B.Field "
            "A.EntryEnd A.EntryCompleted A.LevelClosed(0,0,end) "
            "B.EntryEnd B.EntryCompleted B.LevelClosed(0,0,end) A.Link B.Link");
}

TEST(EvalBase, PathFollowsRecordsAndFields) {
  tKvFiscalStreamEval eval;
  Play(eval, "E R1002@1 R2@2 R5@3 F7=i:1");
  EXPECT_EQ(eval.cur_level(), 3);
  EXPECT_EQ(eval.path(1), 1002);
  EXPECT_EQ(eval.path(2), 2);
  EXPECT_EQ(eval.path(3), 5);
  EXPECT_EQ(eval.path(4), 7);  // a field sits one level below its record
  EXPECT_EQ(eval.path(5), 0);
  EXPECT_EQ(eval.path(0), -1);
  EXPECT_EQ(eval.path(33), -1);
  EXPECT_EQ(eval.entry_type().Code, 2);
  EXPECT_EQ(eval.entry_type().Origin, 1);
  Play(eval, "R0@2");  // ends level 3 and below, level 2 stays
  EXPECT_EQ(eval.cur_level(), 2);
  EXPECT_EQ(eval.path(2), 2);
  EXPECT_EQ(eval.path(3), 0);
  Play(eval, "R0@0");  // ends everything
  EXPECT_EQ(eval.cur_level(), 0);
  EXPECT_EQ(eval.path(1), 0);
  EXPECT_EQ(eval.entry_type().Code, 0);
  EXPECT_EQ(eval.entry().Type, -1);
}

TEST(EvalBase, WhichRecordStartsCloseLevels) {
  struct Case {
    const char* script;
    const char* calls;  // LevelClosed calls only
  };
  const Case cases[] = {
      {"R1@1 R2@2 R3@3", ""},                         // deeper: nothing ends
      {"R1@1 R2@2 R3@3 R4@2", "LevelClosed(2,4,-)"},  // a sibling at level 2
      {"R1@1 R2@2 R3@3 R0@1", "LevelClosed(1,0,-)"},  // a pure level end below
      {"R1@1 R2@2 R0@2", "LevelClosed(2,0,-)"},       // id 0 at the current level
      {"R1@1 R2@2 R0@3", ""},                         // id 0 deeper: nothing ends
      {"R1@1 R1@1", "LevelClosed(1,1,-)"},            // a new entry record
  };
  for (const Case& c : cases) {
    std::string log;
    tRecordingEval eval(&log, "A");
    Play(eval, c.script);
    std::string closes;
    for (size_t at = log.find("LevelClosed"); at != std::string::npos;
         at = log.find("LevelClosed", at + 1)) {
      if (!closes.empty()) closes += ' ';
      closes += log.substr(at, log.find(')', at) - at + 1);
    }
    EXPECT_EQ(closes, c.calls) << c.script;
  }
}

TEST(EvalBase, AnEntryClosesOnce) {
  std::string log;
  tRecordingEval eval(&log, "A");
  Play(eval, "E R1@1 e e");
  EXPECT_EQ(log,
            "A.EntryStart A.RecordStart A.EntryEnd A.EntryCompleted A.LevelClosed(0,0,end) "
            "A.EntryEnd");
  EXPECT_TRUE(eval.closed());
  EXPECT_EQ(eval.path(1), 0);
}

TEST(EvalBase, CloseEndsTheBlockThenClosesTheNextEvaluators) {
  std::string log;
  {
    tRecordingEval head(&log, "A", std::make_unique<tRecordingEval>(&log, "B"));
    Play(head, "B1 E R1@1 e");
    log.clear();
    head.Close();
    EXPECT_EQ(log, "A.BlockEnd B.BlockEnd");
    EXPECT_EQ(head.next(), nullptr);
    EXPECT_FALSE(head.block_open());
    head.Close();
    log.clear();
  }
  EXPECT_EQ(log, "");  // nothing more at destruction
}

TEST(EvalBase, DestructionClosesANewEvaluatorsEntry) {
  std::string log;
  { tRecordingEval eval(&log, "A"); }
  EXPECT_EQ(log, "A.BlockEnd A.EntryCompleted A.LevelClosed(0,0,end)");
}

TEST(EvalBase, AFailingEvaluatorStillClosesTheOthers) {
  std::string log;
  auto next = std::make_unique<tRecordingEval>(&log, "B");
  tRecordingEval head(&log, "A", std::move(next));
  head.fail_block_end = true;
  EXPECT_THROW(head.Close(), std::runtime_error);
  EXPECT_EQ(log, "A.BlockEnd B.BlockEnd B.EntryCompleted B.LevelClosed(0,0,end)");
}

TEST(EvalBase, TwoBlockStartsEndTheFirstBlock) {
  std::string log;
  tRecordingEval eval(&log, "A");
  Play(eval, "B1 B2");
  EXPECT_EQ(log, "A.BlockStart A.BlockStart A.BlockEnd A.EntryCompleted A.LevelClosed(0,0,end)");
  EXPECT_EQ(eval.block().ID, 2);
  EXPECT_TRUE(eval.block_open());
}

// Levels come from untrusted input (unbalanced parentheses in the text form
// give any number): outside 1-32 they must fail cleanly, never touch memory
// outside the path.
TEST(EvalBase, LevelsOutsideThePathRaise) {
  struct Case {
    const char* script;
    const char* message;
  };
  const Case cases[] = {
      {"R1@33", "RecordStart: level 33 outside the record levels 1 to 32 (identifier 1)"},
      {"R1@1 R0@-1", "RecordStart: level -1 outside the record levels 1 to 32 (identifier 0)"},
      {"R5@0", "RecordStart: level 0 outside the record levels 1 to 32 (identifier 5)"},
      {"R1@2147483647", "RecordStart: level 2147483647 outside"},
      {"R1@1 R9@32 F4=i:1", "Field: level 33 outside the record levels 1 to 32 (identifier 4)"},
  };
  for (const Case& c : cases) {
    tKvFiscalStreamEval eval;
    try {
      Play(eval, c.script);
      ADD_FAILURE() << "no exception: " << c.script;
    } catch (const EKvMisc& e) {
      EXPECT_EQ(std::string(e.what()).rfind(std::string("[tKvFiscalStreamEval] ") + c.message, 0),
                0u)
          << c.script << ": " << e.what();
    }
    EXPECT_LE(eval.cur_level(), tKvFiscalStreamEval::kMaxLevel) << c.script;
  }
}

TEST(EvalBase, TheDeepestLevelsAreUsable) {
  tKvFiscalStreamEval eval;
  Play(eval, "R1@1 R9@32 R0@0 R7@31 F3=i:1");
  EXPECT_EQ(eval.path(31), 7);
  EXPECT_EQ(eval.path(32), 3);
}

}  // namespace
