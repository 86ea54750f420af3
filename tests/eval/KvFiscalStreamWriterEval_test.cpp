#include "eval/KvFiscalStreamWriterEval.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "EvalTestHelp.h"
#include "base/KvErrors.h"
#include "eval/KvFiscalStreamEval.h"
#include "eval/KvFiscalStreamEvalExt.h"
#include "stream/KvKPosComStreamData.h"

namespace {

// Appends one token per evaluator operation to *log, prefixed "E:".
class tEvalLog : public tKvFiscalStreamEval {
 public:
  explicit tEvalLog(std::string* log) : log_(log) {}
  void FileHeader(const tKvKPosTextFileHeaderRec&) override { Note("FileHeader"); }
  void SetVersion(int32_t i, int32_t v) override {
    Note("SetVersion(" + std::to_string(i) + "," + std::to_string(v) + ")");
  }
  void BlockStart(const tKvKPosBlockInfoRec& info) override {
    Note("BlockStart(" + std::to_string(info.ID) + ")");
  }
  void EntryStart(const tKvKPosEntryInfoRec& info) override {
    Note("EntryStart(" + std::to_string(info.Type) + ")");
  }
  void EntryEnd() override { Note("EntryEnd"); }
  void Link(int32_t d) override { Note("Link(" + std::to_string(d) + ")"); }
  void RecordStart(int32_t id, int32_t level) override {
    Note("RecordStart(" + std::to_string(id) + "," + std::to_string(level) + ")");
  }
  void Field(int32_t id, const tKvKPosData& element) override {
    Note("Field(" + std::to_string(id) + "=" + element.GetText(true) + ")");
  }

 private:
  void Note(const std::string& t) { *log_ += (log_->empty() ? "E:" : " E:") + t; }
  std::string* log_;
};

// The writer behind the adapter: one token per event, prefixed "W:".
class tWriterLog : public tKvKPosFiscalStreamWriter {
 public:
  explicit tWriterLog(std::string* log) : log_(log) {}
  void AddItem(int32_t n, std::unique_ptr<tKvKPosData> e) override {
    Note("AddItem(" + std::to_string(n) + "=" + (e ? e->GetText(true) : "null") + ")");
  }
  void FileHeader(const tKvKPosTextFileHeaderRec&) override { Note("FileHeader"); }
  void StreamHeader(const tKvKPosFileHeaderRec&) override { Note("StreamHeader"); }
  void SetVersion(int32_t, int32_t) override { Note("SetVersion"); }
  void BlockInfo(const tKvKPosBlockInfoRec& info) override {
    Note("BlockInfo(" + std::to_string(info.ID) + ")");
  }
  void EntryStart(const tKvKPosEntryInfoRec&) override { Note("EntryStart"); }
  void EntryEnd() override { Note("EntryEnd"); }
  void Link(int32_t) override { Note("Link"); }
  void RecordStart(int32_t, int32_t) override { Note("RecordStart"); }

 private:
  void Note(const std::string& t) { *log_ += (log_->empty() ? "W:" : " W:") + t; }
  std::string* log_;
};

// Holds back entries of journal type 2, as a type filter does.
class tSkippingWriter : public tKvFiscalStreamWriterEval {
 public:
  using tKvFiscalStreamWriterEval::tKvFiscalStreamWriterEval;
  void EntryStart(const tKvKPosEntryInfoRec& info) override {
    set_skip_entry(info.Type == 2);
    tKvFiscalStreamWriterEval::EntryStart(info);
  }
};

tKvKPosBlockInfoRec Block(int32_t id) {
  tKvKPosBlockInfoRec b;
  b.ID = id;
  b.EcrNr = tKvBcdFix::FromText("7");
  return b;
}

tKvKPosEntryInfoRec Entry(int32_t type) {
  tKvKPosEntryInfoRec e;
  e.Type = type;
  return e;
}

// One block with one entry of the given type holding one field.
void SendBlock(tKvKPosFiscalStreamWriter& w, int32_t blockId, int32_t entryType = 1) {
  w.BlockInfo(Block(blockId));
  w.EntryStart(Entry(entryType));
  w.RecordStart(1, 1);
  w.AddItem(3, std::make_unique<tKvKPosDataInt>(blockId));
  w.Link(9);
  w.EntryEnd();
}

TEST(WriterEval, RequiresAnEvaluator) {
  try {
    tKvFiscalStreamWriterEval writer(true, nullptr, nullptr);
    FAIL() << "no exception";
  } catch (const EKvParam& e) {
    EXPECT_STREQ(e.what(), "[tKvFiscalStreamWriterEval] tKvFiscalStreamWriterEval.Create");
  }
}

TEST(WriterEval, EveryEventGoesToTheEvaluatorAndOnAlongTheChain) {
  std::string eval_log, writer_log;
  tEvalLog eval(&eval_log);
  tKvFiscalStreamWriterEval writer(false, std::make_unique<tWriterLog>(&writer_log), &eval);
  writer.FileHeader({});
  writer.StreamHeader({});
  writer.SetFilePos(77);
  writer.SetVersion(1, 1);
  SendBlock(writer, 5);
  EXPECT_EQ(eval_log,
            "E:FileHeader E:SetVersion(1,1) E:BlockStart(5) E:EntryStart(1) E:RecordStart(1,1) "
            "E:Field(3=5) E:Link(9) E:EntryEnd");
  EXPECT_EQ(writer_log,
            "W:FileHeader W:StreamHeader W:SetVersion W:BlockInfo(5) W:EntryStart W:RecordStart "
            "W:AddItem(3=5) W:Link W:EntryEnd");
  EXPECT_EQ(writer.file_pos(), 77);
}

TEST(WriterEval, RepeatedBlocksAreHeldBackWhenSkipping) {
  for (bool skip : {true, false}) {
    std::string eval_log, writer_log;
    tEvalLog eval(&eval_log);
    tKvFiscalStreamWriterEval writer(skip, std::make_unique<tWriterLog>(&writer_log), &eval);
    SendBlock(writer, 5);
    eval_log.clear();
    writer_log.clear();
    SendBlock(writer, 5);  // the same block information again
    EXPECT_EQ(writer.in_repeated_block(), skip);
    if (skip) {
      EXPECT_EQ(eval_log, "") << "skipping on";
    } else {
      EXPECT_EQ(eval_log,
                "E:BlockStart(5) E:EntryStart(1) E:RecordStart(1,1) E:Field(3=5) E:Link(9) "
                "E:EntryEnd")
          << "skipping off";
    }
    EXPECT_EQ(writer_log,
              "W:BlockInfo(5) W:EntryStart W:RecordStart W:AddItem(3=5) W:Link W:EntryEnd");
    eval_log.clear();
    SendBlock(writer, 6);  // a different block ends the repetition
    EXPECT_FALSE(writer.in_repeated_block());
    EXPECT_EQ(eval_log.substr(0, 15), "E:BlockStart(6)");
  }
}

TEST(WriterEval, PickersSeeARepeatedBlockOnlyWithoutSkipping) {
  const char* expected[] = {
      "BlockStart(5) EntryStart SetEntryType(1) Header EntryEnd BlockEnd",
      "BlockStart(5) EntryStart SetEntryType(1) Header EntryEnd BlockEnd "
      "BlockStart(5) EntryStart SetEntryType(1) Header EntryEnd BlockEnd",
  };
  for (bool skip : {true, false}) {
    std::string log;
    eval_test::tRecordingPicker picker(&log);
    tKvFiscalStreamEvalExt eval(&picker);
    tKvFiscalStreamWriterEval writer(skip, nullptr, &eval);
    writer.SetVersion(1, 1);
    for (int i = 0; i < 2; ++i) {
      writer.BlockInfo(Block(5));
      writer.EntryStart(Entry(1));
      writer.RecordStart(1, 1);
      writer.RecordStart(1, 2);
      writer.AddItem(3, std::make_unique<tKvKPosDataInt>(i));
      writer.EntryEnd();
    }
    eval.Close();
    EXPECT_EQ(log, expected[skip ? 0 : 1]) << "skipping " << skip;
  }
}

TEST(WriterEval, BlocksWithoutNumberAreNeverRepeats) {
  std::string eval_log;
  tEvalLog eval(&eval_log);
  tKvFiscalStreamWriterEval writer(true, nullptr, &eval);
  writer.BlockInfo(Block(0));
  writer.BlockInfo(Block(0));
  EXPECT_EQ(eval_log, "E:BlockStart(0) E:BlockStart(0)");
}

TEST(WriterEval, SkippedEntriesAreHeldBackUpToTheirEnd) {
  std::string eval_log, writer_log;
  tEvalLog eval(&eval_log);
  tSkippingWriter writer(true, std::make_unique<tWriterLog>(&writer_log), &eval);
  writer.BlockInfo(Block(1));
  writer.EntryStart(Entry(2));
  EXPECT_TRUE(writer.skip_entry());
  writer.RecordStart(1, 1);
  writer.AddItem(3, std::make_unique<tKvKPosDataInt>(4));
  writer.Link(9);  // links are held back for repeated blocks only
  writer.EntryEnd();
  EXPECT_FALSE(writer.skip_entry());
  writer.EntryStart(Entry(1));
  writer.EntryEnd();
  EXPECT_EQ(eval_log, "E:BlockStart(1) E:Link(9) E:EntryStart(1) E:EntryEnd");
  EXPECT_EQ(writer_log,
            "W:BlockInfo(1) W:EntryStart W:RecordStart W:AddItem(3=4) W:Link W:EntryEnd "
            "W:EntryStart W:EntryEnd");
}

}  // namespace
