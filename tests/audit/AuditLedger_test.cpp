// The audit ledger on whole journals: the sample and generated journals give
// no error or warning; each fault the generator injects gives its own
// rule's finding in the right period with the right difference, and no
// other change against the same journal without the fault.
#include "audit/AuditLedger.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <map>
#include <set>
#include <string>
#include <tuple>

#include "app/FiscalDataParserNative.h"
#include "audit/AuditText.h"
#include "eval/FiscalDataParserAsciiInt.h"
#include "eval/KvFiscalDataSourceAscii.h"
#include "eval/KvFiscalStreamEvalExt.h"
#include "eval/KvFiscalStreamWriterEval.h"
#include "platform/TempDir.h"

namespace audit {
namespace {

using testing_support::TempDir;

const std::string kSource = JORVEX_SOURCE_DIR;
const std::string kGenerator = std::string(JORVEX_BINARY_DIR) + "/tools/jorvex-gen";

// The audit of a journal file, read as the run reads it.
tAuditReport Audit(const std::string& path, bool ascii = false) {
  tAuditLedger ledger;
  {
    tKvFiscalStreamEvalExt eval(&ledger);
    tKvFiscalStreamWriterEval writer(true, nullptr, &eval);
    tFiscalDataSourceTextFileDOS source(path);
    if (ascii) {
      tFiscalDataParserAsciiInt(&source, {}, 0).Run(&writer);
    } else {
      tFiscalDataParserNative(&source, &writer, {}).Execute();
    }
    eval.Close();
  }
  return ledger.Finish(path);
}

std::string Text(const tAuditReport& report) {
  std::string all;
  tReportOut out([&all](std::string_view text) { all += text; });
  WriteAuditText(report, out);
  return all;
}

int64_t Count(const tAuditReport& report, tSeverity severity) {
  int64_t n = 0;
  for (const tFinding& f : report.Findings) n += RuleInfo(f.Rule).Severity == severity;
  return n;
}

void ExpectConsistent(const tAuditReport& report, const std::string& what) {
  EXPECT_EQ(Count(report, tSeverity::kError) + Count(report, tSeverity::kWarning), 0)
      << what << "\n"
      << Text(report);
  int64_t reported = 0;
  for (const tPeriod& p : report.Periods) {
    for (const tLine& l : p.Lines) reported += l.Recomputed && l.Reported;
  }
  EXPECT_GT(reported, 0) << what << ": nothing was compared";
}

TEST(AuditLedgerTest, SampleInBothFormsIsConsistent) {
  const tAuditReport native = Audit(kSource + "/examples/sample-native.txt");
  ExpectConsistent(native, "native sample");
  ASSERT_EQ(native.Periods.size(), 3u);
  for (const tPeriod& p : native.Periods) EXPECT_EQ(p.State, tPeriodState::kClosed);
  tAuditReport ascii = Audit(kSource + "/examples/sample-ascii.txt", true);
  ascii.Journal = native.Journal;
  EXPECT_EQ(Text(ascii), Text(native));
}

// The sample's text with one entry left out (from its comment line to the
// next one) or one text replaced within it.
std::string Edited(std::string text, const std::string& entry, const std::string& from,
                   const std::string& to) {
  const size_t at = text.find("// " + entry);
  EXPECT_NE(at, std::string::npos) << entry;
  if (from.empty()) return text.erase(at, text.find("\n//", at + 1) + 1 - at);
  return text.replace(text.find(from, at), from.size(), to);
}

TEST(AuditLedgerTest, EditedSampleGivesTheFindingsOfItsEdit) {
  struct tCase {
    const char* Entry;
    const char* From;  // empty: the entry left out
    const char* To;
    std::set<std::pair<tRule, int>> Findings;  // rule and period beyond the sample's own
  };
  const tCase cases[] = {
      {"Registration end 419", "", "", {{tRule::kOpenPeriod, 2}}},
      {"Registration end 417", "", "", {{tRule::kPeriodWithoutClosing, 0}}},
      {"Registration start 418", "", "", {}},
      {"Registration end 418",
       "TI: 03.01.2024/18:30",
       "TI: 03.01.2024/10:00",
       {{tRule::kBackwards, 1}, {tRule::kAfterClosing, 1}}},
      {"Registration end 418",
       "TI: 03.01.2024/18:30",
       "TI: 05.01.2024/18:30",
       {{tRule::kLongPeriod, 1}, {tRule::kDayWithoutClosing, 1}, {tRule::kBackwards, 2}}},
  };
  const std::string sample = TempDir::ReadFile(kSource + "/examples/sample-native.txt");
  const TempDir dir;
  std::set<std::pair<tRule, int>> own;
  for (const tFinding& f : Audit(kSource + "/examples/sample-native.txt").Findings) {
    own.insert({f.Rule, f.Period});
  }
  for (const tCase& c : cases) {
    SCOPED_TRACE(std::string(c.Entry) + " " + c.To);
    dir.Write("edited.txt", Edited(sample, c.Entry, c.From, c.To));
    const tAuditReport report = Audit(dir.Path("edited.txt"));
    EXPECT_EQ(report.Periods.size(), 3u);
    std::set<std::pair<tRule, int>> found;
    for (const tFinding& f : report.Findings) {
      if (own.count({f.Rule, f.Period}) == 0) found.insert({f.Rule, f.Period});
    }
    EXPECT_EQ(found, c.Findings) << Text(report);
  }
}

// --- faults injected by the generator ---

struct tNote {
  std::map<std::string, std::string> Values;
  const std::string& operator[](const std::string& key) { return Values[key]; }
};

// A 2 MB random journal (seed 7, three business days), with the fault or without.
std::string Generate(const TempDir& dir, const std::string& fault, tNote* note) {
  const std::string journal = dir.Path(fault.empty() ? "clean.txt" : fault + ".txt");
  std::string command = kGenerator + " --form native --size-mb 2 --seed 7 --out " + journal;
  if (!fault.empty()) {
    command += " --fault " + fault + " --fault-day 2 --fault-note " + dir.Path(fault + ".note");
  }
  EXPECT_EQ(std::system(command.c_str()), 0) << command;
  if (note != nullptr) {
    std::ifstream in(dir.Path(fault + ".note"));
    for (std::string line; std::getline(in, line);) {
      const size_t eq = line.find('=');
      if (eq != std::string::npos) note->Values[line.substr(0, eq)] = line.substr(eq + 1);
    }
  }
  return journal;
}

using tKey = std::tuple<tRule, int32_t, int64_t, int64_t, int64_t, std::string>;
std::set<tKey> Keys(const tAuditReport& report) {
  std::set<tKey> keys;
  for (const tFinding& f : report.Findings) {
    keys.insert({f.Rule, f.Period, f.Count, f.Expected, f.Found, f.Detail});
  }
  return keys;
}

struct tFaultCase {
  const char* Fault;
  tRule Rule;            // the finding the fault must give
  std::set<tRule> Also;  // findings it may give besides
  tLineKind Kind;        // the line that carries the difference ...
  int32_t Key;           // ... (its key) ...
  int Sign;              // ... and its sign against the note's difference (0: no line)
};

TEST(AuditLedgerTest, EachFaultGivesItsOwnFinding) {
  const std::set<tRule> kReconciliation = {
      tRule::kTaxGross,       tRule::kTaxNet,       tRule::kTaxValue,    tRule::kTaxNegative,
      tRule::kMediaSales,     tRule::kItemCount,    tRule::kDiscounts,   tRule::kReturns,
      tRule::kDrawerOpenings, tRule::kMainGroups,   tRule::kGrandTotals, tRule::kVoucherRange,
      tRule::kInvoices,       tRule::kVoidsReturns, tRule::kSequenceGap};
  const tFaultCase cases[] = {
      {"receipt-deleted", tRule::kGrossSales, kReconciliation, tLineKind::kCounterAmount, 2, -1},
      {"payment-altered", tRule::kMediaSales, {}, tLineKind::kMediaSales, 0, +1},
      {"closing-tax-altered", tRule::kTaxGross, {tRule::kRunningTax}, tLineKind::kTaxGross, 1, -1},
      {"grand-total-reset", tRule::kGrandTotals, {}, tLineKind::kTaxGross, 0, 0},
      {"closing-number-skipped", tRule::kClosingNumber, {}, tLineKind::kTaxGross, 0, 0},
      {"timestamp-set-back", tRule::kBackwards, {}, tLineKind::kTaxGross, 0, 0},
      {"training-receipt", tRule::kTraining, {}, tLineKind::kTaxGross, 0, 0},
      {"no-sale-drawer", tRule::kNoSaleDrawer, {}, tLineKind::kTaxGross, 0, 0},
  };
  const TempDir dir;
  const tAuditReport clean = Audit(Generate(dir, "", nullptr));
  ExpectConsistent(clean, "generated journal");
  const std::set<tKey> before = Keys(clean);
  for (const tFaultCase& c : cases) {
    SCOPED_TRACE(c.Fault);
    tNote note;
    const tAuditReport report = Audit(Generate(dir, c.Fault, &note));
    ASSERT_EQ(report.Periods.size(), clean.Periods.size());
    int32_t period = -1;
    for (size_t i = 0; i < report.Periods.size(); ++i) {
      if (DateText(report.Periods[i].Closing) == note["day"]) period = static_cast<int32_t>(i);
    }
    ASSERT_GE(period, 0) << "no closing on " << note["day"];
    EXPECT_EQ(std::to_string(report.Periods[period].ClosingNo), note["closing"]);
    bool found = false;
    for (const tKey& key : Keys(report)) {
      if (before.count(key) != 0) continue;
      const tRule rule = std::get<0>(key);
      EXPECT_EQ(std::get<1>(key), period) << RuleInfo(rule).Id << " in another period";
      found = found || rule == c.Rule;
      EXPECT_TRUE(rule == c.Rule || c.Also.count(rule) != 0) << RuleInfo(rule).Id << " besides";
    }
    EXPECT_TRUE(found) << RuleInfo(c.Rule).Id << " missing\n" << Text(report);
    if (c.Sign == 0) continue;
    // The line that carries the fault differs by the injected amount.
    const std::string want = (c.Sign < 0 ? "-" : "") + note["difference"];
    bool line = false;
    for (const tLine& l : report.Periods[period].Lines) {
      if (l.Kind != c.Kind || (c.Key != 0 && l.Key != c.Key) || !l.Differs()) continue;
      line = true;
      EXPECT_EQ(AmountText(l.Journal - l.Closing), want);
    }
    EXPECT_TRUE(line) << "no differing line";
  }
}

}  // namespace
}  // namespace audit
