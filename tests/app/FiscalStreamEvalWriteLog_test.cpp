#include "app/FiscalStreamEvalWriteLog.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>

#include "LogTestHelp.h"
#include "app/Log.h"
#include "base/KvErrors.h"
#include "stream/KvKPosComStreamData.h"

namespace {

using log_test::Crlf;
using log_test::kHeaderLine;
using log_test::Summary;

class WriteLogTest : public log_test::LogFixture {};

// A block of register ecrNr at 22.06.2016 07:00:00.
tKvKPosBlockInfoRec Block(int32_t id, const char* ecrNr, int32_t serNr) {
  tKvKPosBlockInfoRec b;
  b.ID = id;
  b.EcrAddr = 1;
  b.DateTime = tKvDateTime(1151132400);
  b.EcrNr = tKvBcdFix::FromText(ecrNr);
  b.SerNr = serNr;
  b.EcrName = "Kasse 1";
  b.HwID = 3;
  b.FiscJnlType = 1;
  b.SwVer = "2.1";
  return b;
}

std::string BlockLine(int32_t id, const char* ecrNr, int32_t serNr) {
  return "Block: ID=" + std::to_string(id) +
         "; EcrAddr=1; DateTime=1151132400 [22.06.2016  07:00:00]; RegStartDT=0 [00.00.0000  "
         "00:00:00]; RegEndDT=0 [00.00.0000  00:00:00]; EcrNr=" +
         ecrNr + "; SerNr=" + std::to_string(serNr) +
         "; EcrName=Kasse 1; HwID=3; FiscJnlType=1; SwVer=2.1; DataSign=(Len=0)";
}

std::string Entry(int32_t type) {
  return "    Entry: Type=" + std::to_string(type) + " (Deutschland (" + std::to_string(type) +
         ")); Ver=2; VerMin=0; Codepage=1252";
}

// One run as the conversion run does it: a journal of four blocks of one
// register (block 7, a gap to 9, a new serial number, a block without
// register number), an exception entry, the summary.
void Convert(const std::string& logName, bool enabled, uint64_t& tick,
             tFiscalStreamEvalWriteLog::tRecordPath path = {}) {
  tLog log(logName, enabled);
  {
    tFiscalStreamEvalWriteLog eval(&log, nullptr, path);
    tKvKPosEntryInfoRec entry;
    entry.Ver = 2;
    entry.Codepage = 1252;
    const auto send = [&](int32_t type) {
      entry.Type = type;
      eval.EntryStart(entry);
      eval.RecordStart(type, 1);
      eval.RecordStart(2, 2);
      eval.Field(3, tKvKPosDataStr("x"));
      eval.EntryEnd();
    };
    eval.SetVersion(1, 1);
    eval.BlockStart(Block(7, "12", 100));
    send(1);
    send(1);  // the same header again: no line
    send(5);
    eval.BlockStart(Block(9, "12", 100));
    send(1);  // a new block writes the header again
    eval.BlockStart(Block(10, "12", 101));
    eval.BlockStart(Block(11, "0", 101));
    eval.Close();
  }
  log.Add("", tLog::kPlain);
  log.Add("[tKvTextFileDos] Read error", tLog::kError);
  tick += 65'000;
  log.Close();
}

const std::string kProcessed = "    Processed blocks: " + std::string(20, ' ') + "4";
const std::string kErrorLine = "  [tKvTextFileDos] Read error [ERROR]";
const std::string kErrors = "    Errors:                                       1 [ERROR]";

// The same log whether the evaluator keeps the record path or not.
TEST_F(WriteLogTest, JournalWithDetailedLog) {
  for (const auto path : {tFiscalStreamEvalWriteLog::tRecordPath::kKept,
                          tFiscalStreamEvalWriteLog::tRecordPath::kNotKept}) {
    std::filesystem::remove(LogName());
    Convert(LogName(), true, tick_, path);
    ASSERT_EQ(
        Text(),
        Crlf({{kHeaderLine, "", "  > " + BlockLine(7, "12", 100), Entry(1), "", Entry(5), "", "",
               "  < (End of block)"},
              {"", "  > " + BlockLine(9, "12", 100),
               "      => Warning: Block number not consecutive: 9/7! [WARNING]", Entry(1), "", "",
               "  < (End of block)"},
              {"", "  > " + BlockLine(10, "12", 101),
               "      => Warning: Serial number not identical: 101/100! [WARNING]", "",
               "  < (End of block)"},
              {"", "  > " + BlockLine(11, "0", 101),
               "    => Warning: ECR number missing! [WARNING]", "", "  < (End of block)"},
              {"", kProcessed, "", kErrorLine},
              Summary({kErrors, "    Warnings:                                     3 [WARNING]"},
                      "00:01:05")}));
  }
}

TEST_F(WriteLogTest, JournalWithoutDetailedLogAndASecondRun) {
  Convert(LogName(), false, tick_);
  const std::string run =
      Crlf({{kHeaderLine, "", "  " + BlockLine(7, "12", 100), "", "  " + BlockLine(9, "12", 100),
             "", "  " + BlockLine(10, "12", 101), "", "  " + BlockLine(11, "0", 101)},
            {"", kProcessed, "", kErrorLine},
            Summary({kErrors}, "00:01:05")});
  EXPECT_EQ(Text(), run);
  Convert(LogName(), false, tick_);
  EXPECT_EQ(Text(), run + run);
}

// Beyond the journal above: which check wins, and where none applies.
TEST_F(WriteLogTest, ContinuityChecks) {
  const struct {
    const char* Name;
    tKvKPosBlockInfoRec First, Second;
    const char* Warning;  // nullptr: none
  } cases[] = {
      {"consecutive", Block(7, "12", 100), Block(8, "12", 100), nullptr},
      {"other register", Block(7, "12", 100), Block(3, "13", 5), nullptr},
      {"serial number first", Block(7, "12", 100), Block(3, "12", 5),
       "      => Warning: Serial number not identical: 5/100!"},
      {"no previous serial number", Block(7, "12", 0), Block(3, "12", 5),
       "      => Warning: Block number not consecutive: 3/7!"},
      {"no previous block number", Block(0, "12", 100), Block(5, "12", 100), nullptr},
      {"largest block number", Block(2147483647, "12", 1), Block(-2147483647 - 1, "12", 1),
       "      => Warning: Block number not consecutive: -2147483648/2147483647!"},
  };
  for (const auto& c : cases) {
    std::filesystem::remove(LogName());
    {
      tLog log(LogName(), true);
      tFiscalStreamEvalWriteLog eval(&log);
      eval.BlockStart(c.First);
      eval.BlockStart(c.Second);
      EXPECT_EQ(log.warnings(), c.Warning != nullptr ? 1 : 0) << c.Name;
    }
    if (c.Warning != nullptr) {
      EXPECT_THAT(Text(), ::testing::HasSubstr("\r\n" + std::string(c.Warning) + " [WARNING]\r\n"))
          << c.Name;
    }
  }
}

TEST_F(WriteLogTest, UnhandledDataWarningNamesThePath) {
  EXPECT_THROW(tFiscalStreamEvalWriteLog(nullptr), EKvParam);
  {
    tLog log(LogName(), true);
    tFiscalStreamEvalWriteLog eval(&log);
    eval.RecordStart(1, 1);
    eval.RecordStart(2, 2);
    eval.RecordStart(5, 3);
    eval.Field(9, tKvKPosDataStr("x"));
    eval.UnhandledField(9, tKvKPosDataBcd(tKvBcd::FromText("1234.5")));
  }
  EXPECT_THAT(Text(),
              ::testing::StartsWith(Crlf(
                  {{kHeaderLine, "  => Warning: Unhandled data [1/2/5/9=1.234,5]! [WARNING]"}})));
}

}  // namespace
