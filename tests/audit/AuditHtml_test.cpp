#include "audit/AuditHtml.h"

#include <gtest/gtest.h>

#include <string>

#include "stream/KvTypes.h"

namespace audit {
namespace {

size_t Count(const std::string& text, const std::string& what) {
  size_t n = 0;
  for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
  return n;
}

std::string Page(const tAuditReport& report) {
  std::string page;
  tReportOut out([&page](std::string_view piece) { page += piece; });
  WriteAuditHtml(report, out);
  return page;
}

tLine Line(tLineKind kind, tRule rule, int32_t key, int64_t journal, int64_t closing,
           bool recomputed = true, bool reported = true) {
  return {kind, rule, key, recomputed, reported, journal, closing};
}

// A register with one closing a day from 02.01.2024; every period whose
// index is in faulty has a differing tax line and a wrong item count.
tAuditReport Journal(int days, int faultyEvery) {
  tAuditReport report;
  report.Journal = "<journal>.txt";
  report.Registers.push_back({"101", 4711001, "Kasse <1> & \"Caf\xE9\""});
  report.Operators.push_back({0, "1", "J\xFCrgen <A>", 10, 1000000, 1, 0, 0, 0, 0, 2});
  const int64_t start = tKvDateTime::Encode(2024, 1, 2).Value;
  for (int d = 0; d < days; ++d) {
    tPeriod p;
    p.Start = p.FirstEntry = start + d * tKvDateTime::kSecondsPerDay + 8 * 3600;
    p.Closing = p.LastEntry = p.Start + 10 * 3600;
    p.ClosingNo = 17 + d;
    p.SalesTransactions = 40;
    p.GrossByTax = {0, 3000000, 1200000};
    p.TaxRate = {0, 1900, 700};
    const bool faulty = faultyEvery > 0 && d % faultyEvery == 0;
    p.Lines = {Line(tLineKind::kTaxGross, tRule::kTaxGross, 1, 3000000, faulty ? 2990000 : 3000000),
               Line(tLineKind::kTaxGross, tRule::kTaxGross, 2, 1200000, 1200000),
               Line(tLineKind::kCounterCount, tRule::kItemCount, 8, 120, faulty ? 119 : 120),
               Line(tLineKind::kCounterCount, tRule::kTips, 31, 0, 5, false, true),
               Line(tLineKind::kMediaPaidIn, tRule::kMediaPaidIn, 1, 0, 0, true, false)};
    if (faulty) {
      p.Errors = 2;
      report.Findings.push_back({tRule::kTaxGross, d, 1, 3000000, 2990000, 10000, tValueKind::kAmount, "tax 1"});
      report.Findings.push_back({tRule::kSequenceGap, d, 2, 0, 0, 0, tValueKind::kNumber, "5 after 2 <x>"});
    }
    report.Periods.push_back(p);
  }
  return report;
}

TEST(AuditHtml, DaysDifferencesAndEscaping) {
  const std::string page = Page(Journal(3, 2));  // periods 0 and 2 differ, 2 lines each
  EXPECT_EQ(Count(page, "<g class=\"day"), 3u);
  EXPECT_EQ(Count(page, "<g class=\"day finding\""), 2u);
  EXPECT_EQ(Count(page, "data-day=\"03.01.2024\""), 1u);
  EXPECT_EQ(Count(page, "class=\"m diff\""), 4u);
  EXPECT_EQ(Count(page, ">not recomputable<"), 2u);
  EXPECT_EQ(Count(page, ">not reported<"), 2u);
  EXPECT_EQ(Count(page, "<g class=\"gap\">"), 2u);
  EXPECT_NE(page.find("Kasse &lt;1&gt; &amp; &quot;Caf\xC3\xA9&quot;"), std::string::npos);
  EXPECT_NE(page.find("J\xC3\xBCrgen &lt;A&gt;"), std::string::npos);
  EXPECT_NE(page.find("5 after 2 &lt;x&gt;"), std::string::npos);
  EXPECT_EQ(page.find("<script"), std::string::npos);
  EXPECT_EQ(page.find("http"), std::string::npos);
  EXPECT_EQ(Count(Page(Journal(3, 0)), "diff\""), 0u);
}

TEST(AuditHtml, TwoThousandClosingsStayUnderFiveMegabytes) {
  const std::string page = Page(Journal(2000, 1));
  EXPECT_LT(page.size(), 5u * 1024 * 1024);
  EXPECT_EQ(Count(page, "<g class=\"day"), 2000u);
  EXPECT_EQ(Count(page, "<svg class=\"chart\""), 6u);  // 2024 to 2029
  EXPECT_NE(page.find("1800 weitere Periode(n) mit Differenzen"), std::string::npos);
}

}  // namespace
}  // namespace audit
