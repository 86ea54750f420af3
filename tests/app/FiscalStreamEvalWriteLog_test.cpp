#include "app/FiscalStreamEvalWriteLog.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "LogTestHelp.h"
#include "app/Log.h"
#include "base/KvErrors.h"
#include "stream/KvKPosComStreamData.h"

namespace {

using log_test::kHeaderLine;
using tLines = std::vector<std::string>;

class WriteLogTest : public log_test::LogFixture {};

// 22.06.2016 07:00:00 as a journal date-time.
constexpr int64_t kBlockTime = 1151132400;

tKvKPosBlockInfoRec Block(int32_t id, const char* ecrNr, int32_t serNr) {
  tKvKPosBlockInfoRec b;
  b.ID = id;
  b.EcrAddr = 1;
  b.DateTime = tKvDateTime(kBlockTime);
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

tKvKPosEntryInfoRec Entry(int32_t type) {
  tKvKPosEntryInfoRec e;
  e.Type = type;
  e.Ver = 2;
  e.Codepage = 1252;
  return e;
}

// One run as the conversion run does it: a journal of four blocks of one
// register (block 7, a gap to 9, a new serial number, a block without
// register number), an exception entry, the summary.
void Convert(const std::string& logName, bool enabled, uint64_t& tick) {
  tLog log(logName, enabled);
  {
    tFiscalStreamEvalWriteLog eval(&log);
    eval.SetVersion(1, 1);
    eval.BlockStart(Block(7, "12", 100));
    eval.EntryStart(Entry(1));
    eval.EntryEnd();
    eval.EntryStart(Entry(1));  // the same header again: no line
    eval.EntryEnd();
    eval.EntryStart(Entry(5));
    eval.EntryEnd();
    eval.BlockStart(Block(9, "12", 100));
    eval.EntryStart(Entry(1));  // a new block writes the header again
    eval.EntryEnd();
    eval.BlockStart(Block(10, "12", 101));
    eval.BlockStart(Block(11, "0", 101));
    eval.Close();
  }
  log.Add("", tLog::kPlain);
  log.Add("[tKvTextFileDos] Read error", tLog::kError);
  tick += 65'000;
  log.Close();
}

tLines Cat(std::initializer_list<tLines> parts) {
  tLines out;
  for (const tLines& p : parts) out.insert(out.end(), p.begin(), p.end());
  return out;
}

// text and blanks up to 40 characters.
std::string To40(const std::string& text) { return text + std::string(40 - text.size(), ' '); }

const std::string kProcessed = "  " + To40("  Processed blocks: ") + "4";
const std::string kErrorLine = "  [tKvTextFileDos] Read error [ERROR]";

tLines SummaryLines(const tLines& counts) {
  return Cat({{"", "", "  > Summary:", ""},
              counts,
              {"  < ", "", "  " + To40("Elapsed time: ") + "00:01:05", "", "< =====", ""}});
}

TEST_F(WriteLogTest, JournalWithDetailedLog) {
  Convert(LogName(), true, tick);
  const tLines expected = Cat({
      {kHeaderLine, "", "  > " + BlockLine(7, "12", 100),
       "    Entry: Type=1 (Deutschland (1)); Ver=2; VerMin=0; Codepage=1252", "",
       "    Entry: Type=5 (Deutschland (5)); Ver=2; VerMin=0; Codepage=1252", "", "",
       "  < (End of block)"},
      {"", "  > " + BlockLine(9, "12", 100),
       "      => Warning: Block number not consecutive: 9/7! [WARNING]",
       "    Entry: Type=1 (Deutschland (1)); Ver=2; VerMin=0; Codepage=1252", "", "",
       "  < (End of block)"},
      {"", "  > " + BlockLine(10, "12", 101),
       "      => Warning: Serial number not identical: 101/100! [WARNING]", "",
       "  < (End of block)"},
      {"", "  > " + BlockLine(11, "0", 101), "    => Warning: ECR number missing! [WARNING]", "",
       "  < (End of block)"},
      {"", kProcessed, "", kErrorLine},
      SummaryLines({"    " + To40("Errors: ") + "      1 [ERROR]",
                    "    " + To40("Warnings: ") + "      3 [WARNING]"}),
  });
  EXPECT_EQ(Lines(), expected);
}

TEST_F(WriteLogTest, JournalWithoutDetailedLogAndASecondRun) {
  Convert(LogName(), false, tick);
  const tLines run = Cat({
      {kHeaderLine, "", "  " + BlockLine(7, "12", 100), "", "  " + BlockLine(9, "12", 100), "",
       "  " + BlockLine(10, "12", 101), "", "  " + BlockLine(11, "0", 101)},
      {"", kProcessed, "", kErrorLine},
      SummaryLines({"    " + To40("Errors: ") + "      1 [ERROR]"}),
  });
  EXPECT_EQ(Lines(), run);
  Convert(LogName(), false, tick);
  EXPECT_EQ(Lines(), Cat({run, run}));
}

TEST_F(WriteLogTest, RunWithoutBlocks) {
  {
    tLog log(LogName(), true);
    tFiscalStreamEvalWriteLog eval(&log);
    eval.Close();
    tick += 65'000;
    log.Close();
  }
  EXPECT_EQ(Lines(), Cat({{kHeaderLine, "", "  " + To40("  Processed blocks: ") + "0"},
                          SummaryLines({"    No errors detected."})}));
}

TEST_F(WriteLogTest, ContinuityChecks) {
  struct Case {
    const char* name;
    tKvKPosBlockInfoRec first, second;
    const char* warning;  // nullptr: none
  };
  const Case cases[] = {
      {"consecutive", Block(7, "12", 100), Block(8, "12", 100), nullptr},
      {"gap", Block(7, "12", 100), Block(9, "12", 100),
       "  => Warning: Block number not consecutive: 9/7!"},
      {"other register", Block(7, "12", 100), Block(3, "13", 5), nullptr},
      {"serial number first", Block(7, "12", 100), Block(3, "12", 5),
       "  => Warning: Serial number not identical: 5/100!"},
      {"no previous serial number", Block(7, "12", 0), Block(3, "12", 5),
       "  => Warning: Block number not consecutive: 3/7!"},
      {"no previous block number", Block(0, "12", 100), Block(5, "12", 100), nullptr},
      {"largest block number", Block(2147483647, "12", 1), Block(-2147483647 - 1, "12", 1),
       "  => Warning: Block number not consecutive: -2147483648/2147483647!"},
      {"register number missing", Block(7, "12", 100), Block(9, "0", 1),
       "=> Warning: ECR number missing!"},
  };
  for (const Case& c : cases) {
    std::filesystem::remove(LogName());
    {
      tLog log(LogName(), true);
      tFiscalStreamEvalWriteLog eval(&log);
      eval.BlockStart(c.first);
      eval.BlockStart(c.second);
      EXPECT_EQ(log.warnings(), c.warning != nullptr ? 1 : 0) << c.name;
    }
    const tLines lines = Lines();
    ASSERT_GT(lines.size(), 6u) << c.name;
    // header, "", block, "", end, "", second block, [warning]
    EXPECT_EQ(lines[7], c.warning != nullptr ? std::string("    ") + c.warning + " [WARNING]" : "")
        << c.name;
  }
}

TEST_F(WriteLogTest, UnhandledDataWarningNamesThePath) {
  {
    tLog log(LogName(), true);
    tFiscalStreamEvalWriteLog eval(&log);
    eval.RecordStart(1, 1);
    eval.RecordStart(2, 2);
    eval.RecordStart(5, 3);
    eval.Field(9, tKvKPosDataStr("x"));
    eval.UnhandledField(9, tKvKPosDataBcd(tKvBcd::FromText("1234.5")));
    EXPECT_EQ(log.warnings(), 1);
  }
  const tLines lines = Lines();
  ASSERT_GT(lines.size(), 1u);
  EXPECT_EQ(lines[1], "  => Warning: Unhandled data [1/2/5/9=1.234,5]! [WARNING]");
}

TEST_F(WriteLogTest, RequiresALog) { EXPECT_THROW(tFiscalStreamEvalWriteLog(nullptr), EKvParam); }

}  // namespace
