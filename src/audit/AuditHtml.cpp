#include "audit/AuditHtml.h"

#include <algorithm>
#include <initializer_list>
#include <string>
#include <string_view>

#include "audit/AuditHtmlParts.h"
#include "base/KvCodepage.h"

namespace audit {
namespace {

// Bounds that keep the page of thousands of closings under 5 MB (a row of
// the reconciliation or a day of the chart takes about 300 bytes, a detail
// line or a finding about 250): the detail lines of at most 200 periods and
// 2 MB, a bounded number of lines not compared per period, 500 findings per
// severity.
constexpr size_t kDetailedPeriods = 200;
constexpr size_t kDetailBytes = 2 << 20;
constexpr size_t kUncomparedLines = 20;  // per detailed period
constexpr size_t kFindingsPerSeverity = 500;

constexpr std::string_view kStyle = R"(
:root{--ink:#1d2430;--mute:#6b7380;--line:#d9dee5;--soft:#f4f6f9;--err:#c62828;--errbg:#fde8e8;
--warn:#b26a00;--warnbg:#fff4e0;--info:#1f5fa8;--infobg:#e8f0fb}
*{box-sizing:border-box}
body{font:14px/1.45 system-ui,"Segoe UI",Roboto,"DejaVu Sans",Arial,sans-serif;color:var(--ink);
margin:0 auto;max-width:1120px;padding:24px 28px}
h1{font-size:24px;margin:0 0 4px}h2{font-size:19px;margin:32px 0 8px;padding-bottom:4px;
border-bottom:2px solid var(--ink)}h3{font-size:15px;margin:20px 0 6px}
p.sub{color:var(--mute);margin:0 0 12px}
nav{margin:12px 0;font-size:13px}nav a{margin-right:14px;color:var(--info)}
.badges span,.n span{display:inline-block;border-radius:10px;padding:1px 9px;margin-right:6px;
font-weight:600}
.e{color:var(--err)}.w{color:var(--warn)}.i{color:var(--info)}
.badges .e,.n .e{background:var(--errbg)}.badges .w,.n .w{background:var(--warnbg)}
.badges .i,.n .i{background:var(--infobg)}.n span{padding:0 6px;margin-right:3px;font-size:12px}
dl.scope{display:grid;grid-template-columns:repeat(3,max-content auto);gap:3px 12px;margin:8px 0;
font-size:13px}dl.scope dt{color:var(--mute)}dl.scope dd{margin:0}
table{border-collapse:collapse;width:100%;font-size:12.5px;margin:6px 0 10px}
th,td{padding:3px 7px;border-bottom:1px solid var(--line);text-align:left;vertical-align:top}
th{background:var(--soft);font-weight:600}td.m,th.m{text-align:right;
font-variant-numeric:tabular-nums;white-space:nowrap}
tr.differs>td{background:var(--errbg)}td.delta{color:var(--err);font-weight:700}
td.diff{background:var(--err);color:#fff;font-weight:700}
tr.lines>td{padding:0 0 6px 28px;background:#fff}table.lines{margin:2px 0 4px;font-size:12px}
table.lines th{background:#fff;color:var(--mute);font-weight:500}
tr.nc td{color:#9aa1ab}td.na{font-style:italic}tr.more td{color:var(--mute);font-style:italic}
p.note,p.none{color:var(--mute);font-style:italic}
ul.legend{list-style:none;padding:0;margin:4px 0;display:flex;flex-wrap:wrap;gap:4px 16px;
font-size:12.5px}ul.legend svg{vertical-align:-1px;margin-right:5px}
svg.chart,svg.timeline{display:block;max-width:100%;height:auto;margin:4px 0 10px}
svg text{font:10px system-ui,"DejaVu Sans",Arial,sans-serif;fill:var(--mute)}
text.yl{text-anchor:end}text.c{text-anchor:middle}text.end{text-anchor:end}
text.lane{fill:var(--ink);font-size:11px}
line.grid{stroke:var(--line);stroke-width:1}line.zero{stroke:var(--ink)}
line.tick{stroke:var(--mute)}rect.band{fill:var(--errbg)}
.mk.e{fill:var(--err)}.mk.w{fill:var(--warn)}g.gap rect{fill:var(--warn)}
.t0{fill:#8d99a6}.t1{fill:#2f6db5}.t2{fill:#3aa56b}.t3{fill:#e08a1e}.t4{fill:#8a5cc2}
.t5{fill:#c2504a}.t6{fill:#d46fb0}.t7{fill:#2aa6b8}.t8{fill:#a8a23a}
ul.decisions{font-size:13px}
@page{size:A4;margin:14mm 12mm}
@media print{body{max-width:none;padding:0;font-size:10pt}nav{display:none}
*{-webkit-print-color-adjust:exact;print-color-adjust:exact}
h2{break-after:avoid}h3{break-after:avoid}section.register+section.register{break-before:page}
thead{display:table-header-group}tr{break-inside:avoid}svg{break-inside:avoid}
table{font-size:8.5pt}}
)";

// A table cell; cls may be empty.
void Cell(std::string& s, std::string_view utf8, std::string_view cls = {}) {
  s += cls.empty() ? "<td>" : "<td class=\"" + std::string(cls) + "\">";
  AppendHtml(s, utf8);
  s += "</td>";
}

void Number(std::string& s, int64_t value) { Cell(s, std::to_string(value), "m"); }

void Head(std::string& s, std::initializer_list<std::string_view> columns, size_t firstNumeric) {
  s += "<thead><tr>";
  size_t i = 0;
  for (const std::string_view column : columns) {
    s += i++ >= firstNumeric ? "<th class=\"m\">" : "<th>";
    s += column;
    s += "</th>";
  }
  s += "</tr></thead>\n<tbody>\n";
}

// "2 F 1 W" badges (Fehler, Warnungen, Hinweise) of a period's finding counts.
void Counts(std::string& s, int32_t errors, int32_t warnings, int32_t infos) {
  s += "<td class=\"m n\">";
  if (errors > 0) s += "<span class=\"e\">" + std::to_string(errors) + " F</span>";
  if (warnings > 0) s += "<span class=\"w\">" + std::to_string(warnings) + " W</span>";
  if (infos > 0) s += "<span class=\"i\">" + std::to_string(infos) + " H</span>";
  s += "</td>";
}

std::string ClosingText(const tPeriod& period) {
  switch (period.State) {
    case tPeriodState::kClosed:
      return "Z " + std::to_string(period.ClosingNo);
    case tPeriodState::kOpen:
      return "offen";
    case tPeriodState::kNoClosing:
      break;
  }
  return "ohne Abschluss";
}

void WriteTop(const tAuditReport& report, tReportOut& out) {
  std::string& s = out.text();
  s += "<!DOCTYPE html>\n<html lang=\"de\">\n<head>\n<meta charset=\"utf-8\">\n"
       "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n"
       "<title>Prüfbericht: ";
  AppendHtml(s, report.Journal);
  s += "</title>\n<style>";
  s += kStyle;
  s += "</style>\n</head>\n<body>\n<h1>Prüfbericht: Journal gegen Abschlüsse</h1>\n<p "
       "class=\"sub\">Journal ";
  AppendHtml(s, report.Journal);
  s += ": " + std::to_string(report.Registers.size()) + " Kasse(n), " +
       std::to_string(report.Periods.size()) + " Periode(n)";
  if (report.EntriesOutsidePeriods > 0) {
    s += ", " + std::to_string(report.EntriesOutsidePeriods) + " Einträge außerhalb einer Periode";
  }
  s += "</p>\n<p class=\"badges\"><span class=\"e\">" + std::to_string(report.Errors) +
       " Fehler</span><span class=\"w\">" + std::to_string(report.Warnings) +
       " Warnungen</span><span class=\"i\">" + std::to_string(report.Infos) +
       " Hinweise</span></p>\n<nav>";
  for (size_t r = 0; r < report.Registers.size(); ++r) {
    s += "<a href=\"#r" + std::to_string(r) + "\">";
    AppendHtml(s, RegisterTitle(report.Registers[r]));
    s += "</a>";
  }
  s += "<a href=\"#findings\">Befunde</a><a href=\"#operators\">Bediener</a>"
       "<a href=\"#rules\">Regeln</a></nav>\n";
  out.Spill();
}

void WriteScope(const tAuditReport& report, int32_t reg, tReportOut& out) {
  int64_t periods = 0, closings = 0, open = 0, blocks = 0, sales = 0, training = 0;
  int64_t transactions = 0, reports = 0, events = 0;
  tAmount gross = 0, trainingGross = 0;
  tTime first = 0, last = 0;
  int32_t firstClosing = 0, lastClosing = 0, firstReceipt = 0, lastReceipt = 0;
  for (const tPeriod& p : report.Periods) {
    if (p.Register != reg) continue;
    ++periods;
    if (p.State == tPeriodState::kClosed) {
      ++closings;
      if (firstClosing == 0) firstClosing = p.ClosingNo;
      lastClosing = p.ClosingNo;
    } else {
      ++open;
    }
    if (firstReceipt == 0) firstReceipt = p.FirstReceiptNo;
    if (p.LastReceiptNo != 0) lastReceipt = p.LastReceiptNo;
    const tTime begin = p.FirstEntry != 0 ? p.FirstEntry : p.Start;
    if (begin != 0 && (first == 0 || begin < first)) first = begin;
    last = std::max({last, p.LastEntry, p.Closing});
    blocks += p.Blocks;
    transactions += p.EntriesByClass[0];
    reports += p.EntriesByClass[1];
    events += p.EntriesByClass[2];
    sales += p.SalesTransactions;
    gross += p.Gross;
    training += p.TrainingReceipts;
    trainingGross += p.TrainingGross;
  }
  const tRegister& r = report.Registers[static_cast<size_t>(reg)];
  const std::pair<std::string_view, std::string> items[] = {
      {"Kasse", r.Number},
      {"Seriennummer", std::to_string(r.SerialNo)},
      {"Name", Win1252ToUtf8(r.Name)},
      {"Erster Eintrag", DateTimeText(first)},
      {"Letzter Eintrag", DateTimeText(last)},
      {"Blöcke", std::to_string(blocks)},
      {"Perioden", std::to_string(periods)},
      {"Abschlüsse", std::to_string(closings)},
      {"Offen, ohne Abschluss", std::to_string(open)},
      {"Abschlüsse (Z)", std::to_string(firstClosing) + " - " + std::to_string(lastClosing)},
      {"Belege", std::to_string(firstReceipt) + " - " + std::to_string(lastReceipt)},
      {"Einträge", std::to_string(transactions) + " Transaktionen, " + std::to_string(reports) +
                       " Berichte, " + std::to_string(events) + " Ereignisse"},
      {"Umsatzbelege", std::to_string(sales)},
      {"Bruttoumsatz", AmountText(gross)},
      {"Trainingsbelege",
       std::to_string(training) + " (" + AmountText(trainingGross) + ", nicht im Umsatz)"},
  };
  std::string& s = out.text();
  s += "<dl class=\"scope\">";
  for (const auto& [term, value] : items) {
    s += "<dt>";
    s += term;
    s += "</dt><dd>";
    AppendHtml(s, value);
    s += "</dd>";
  }
  s += "</dl>\n";
  out.Spill();
}

// The gross a closing states against the journal's: the gross sales
// counter, else the sum of the tax table's gross lines; false when the
// closing states neither.
bool ClosingGross(const tPeriod& period, int64_t& journal, int64_t& closing) {
  for (const tLine& line : period.Lines) {
    if (line.Rule == tRule::kGrossSales && line.Kind == tLineKind::kCounterAmount &&
        line.Recomputed && line.Reported) {
      journal = line.Journal;
      closing = line.Closing;
      return true;
    }
  }
  bool any = false;
  journal = closing = 0;
  for (const tLine& line : period.Lines) {
    if (line.Kind == tLineKind::kTaxGross && line.Recomputed && line.Reported) {
      journal += line.Journal;
      closing += line.Closing;
      any = true;
    }
  }
  if (!any) journal = period.Gross;
  return any;
}

// The lines of a period with a difference: every differing line, the lines
// not compared (greyed, up to a bound), and how many agree. The caller
// spills (a period's detail is a few kilobytes).
void WriteDetail(const tAuditReport& report, const tPeriod& period, std::string& s) {
  s += "<tr class=\"lines\"><td colspan=\"7\"><table class=\"lines\">";
  Head(s, {"Zeile", "Journal", "Abschluss", "Differenz"}, 1);
  size_t agree = 0, uncompared = 0, hidden = 0;
  for (const tLine& line : period.Lines) {
    const bool compared = line.Recomputed && line.Reported;
    if (compared && !line.Differs()) {
      ++agree;
      continue;
    }
    if (!compared && ++uncompared > kUncomparedLines) {
      ++hidden;
      continue;
    }
    s += compared ? "<tr>" : "<tr class=\"nc\">";
    Cell(s, LineSubject(report, period, line));
    if (line.Recomputed) {
      Cell(s, LineValue(line, line.Journal), "m");
    } else {
      Cell(s, "not recomputable", "m na");
    }
    if (line.Reported) {
      Cell(s, LineValue(line, line.Closing), "m");
    } else {
      Cell(s, "not reported", "m na");
    }
    if (compared) {
      Cell(s, LineValue(line, line.Journal - line.Closing), "m diff");
    } else {
      Cell(s, "", "m");
    }
    s += "</tr>\n";
  }
  if (agree > 0 || hidden > 0) {
    s += "<tr class=\"more\"><td colspan=\"4\">";
    if (agree > 0) s += std::to_string(agree) + " weitere Zeile(n) stimmen überein. ";
    if (hidden > 0) s += std::to_string(hidden) + " weitere Zeile(n) nicht verglichen.";
    s += "</td></tr>\n";
  }
  s += "</tbody></table></td></tr>\n";
}

// What the detail lines of the whole page have taken so far.
struct tDetailBudget {
  size_t Periods = 0, Bytes = 0;
  size_t LeftOut = 0;  // periods with a difference but no detail (of this register)
};

// One row per period of the register; detail lines below the periods that
// have a difference, while the page's budget lasts.
void WriteReconciliation(const tAuditReport& report, int32_t reg, tDetailBudget& budget,
                         tReportOut& out) {
  std::string& s = out.text();
  s += "<table class=\"recon\">";
  Head(s,
       {"Tag", "Abschluss", "Umsatzbelege", "Brutto Journal", "Brutto Abschluss", "Differenz",
        "Befunde"},
       2);
  for (size_t i = 0; i < report.Periods.size(); ++i) {
    const tPeriod& period = report.Periods[i];
    if (period.Register != reg) continue;
    const bool differs = std::any_of(period.Lines.begin(), period.Lines.end(),
                                     [](const tLine& line) { return line.Differs(); });
    int64_t journal = 0, closing = 0;
    const bool reported = ClosingGross(period, journal, closing);
    s += "<tr id=\"p" + std::to_string(i) + (differs ? "\" class=\"differs\">" : "\">");
    Cell(s, PeriodDay(period));
    Cell(s, ClosingText(period));
    Number(s, period.SalesTransactions);
    Cell(s, AmountText(journal), "m");
    if (reported) {
      Cell(s, AmountText(closing), "m");
      Cell(s, AmountText(journal - closing), journal != closing ? "m delta" : "m");
    } else {
      Cell(s, "not reported", "m na");
      Cell(s, "", "m");
    }
    Counts(s, period.Errors, period.Warnings, period.Infos);
    s += "</tr>\n";
    out.Spill();
    if (!differs) continue;
    if (budget.Periods < kDetailedPeriods && budget.Bytes < kDetailBytes) {
      ++budget.Periods;
      const size_t before = s.size();
      WriteDetail(report, period, s);
      budget.Bytes += s.size() - before;
      out.Spill();
    } else {
      ++budget.LeftOut;
    }
  }
  s += "</tbody></table>\n";
  out.Spill();
}

void WriteRegister(const tAuditReport& report, int32_t reg, tDetailBudget& budget,
                   tReportOut& out) {
  std::string& s = out.text();
  s += "<section class=\"register\" id=\"r" + std::to_string(reg) + "\">\n<h2>";
  AppendHtml(s, RegisterTitle(report.Registers[static_cast<size_t>(reg)]));
  s += "</h2>\n<h3>Umfang</h3>\n";
  WriteScope(report, reg, out);
  s += "<h3>Tagesumsatz brutto nach Steuer</h3>\n";
  WriteDailyChart(report, reg, out);
  s += "<h3>Abgleich der Abschlüsse</h3>\n";
  budget.LeftOut = 0;
  WriteReconciliation(report, reg, budget, out);
  if (budget.LeftOut > 0) {
    s += "<p class=\"note\">" + std::to_string(budget.LeftOut) +
         " weitere Periode(n) mit Differenzen sind hier nicht aufgeschlüsselt (die Seite zeigt die "
         "ersten " +
         std::to_string(budget.Periods) +
         "); AuditReport.txt und AuditReport.json führen alle Zeilen auf.</p>\n";
  }
  s += "<h3>Lücken in Abschluss- und Belegnummern</h3>\n";
  WriteGapTimeline(report, reg, out);
  s += "</section>\n";
  out.Spill();
}

void WriteFindings(const tAuditReport& report, tReportOut& out) {
  std::string& s = out.text();
  s += "<section id=\"findings\">\n<h2>Befunde</h2>\n";
  static constexpr struct {
    tSeverity Severity;
    const char* Title;
    const char* Class;
  } kGroups[] = {{tSeverity::kError, "Fehler", "e"},
                 {tSeverity::kWarning, "Warnungen", "w"},
                 {tSeverity::kInfo, "Hinweise", "i"}};
  for (const auto& group : kGroups) {
    size_t count = 0;
    for (const tFinding& f : report.Findings) count += RuleInfo(f.Rule).Severity == group.Severity;
    s += std::string("<h3 class=\"") + group.Class + "\">" + group.Title + " (" +
         std::to_string(count) + ")</h3>\n";
    if (count == 0) {
      s += "<p class=\"none\">Keine.</p>\n";
      continue;
    }
    s += "<table class=\"findings\">";
    Head(s, {"Regel", "Periode", "Detail", "Anzahl", "Erwartet", "Gefunden", "Differenz"}, 3);
    size_t written = 0;
    for (const tFinding& f : report.Findings) {
      const tRuleInfo& info = RuleInfo(f.Rule);
      if (info.Severity != group.Severity || written++ >= kFindingsPerSeverity) continue;
      s += "<tr><td title=\"";
      AppendHtml(s, info.Compares);
      s += std::string("\" class=\"") + group.Class + "\">";
      s += info.Id;
      s += "</td><td>";
      if (f.Period >= 0 && static_cast<size_t>(f.Period) < report.Periods.size()) {
        const tPeriod& period = report.Periods[static_cast<size_t>(f.Period)];
        s += "<a href=\"#p" + std::to_string(f.Period) + "\">";
        if (report.Registers.size() > 1) {
          AppendHtml(s, report.Registers[static_cast<size_t>(period.Register)].Number + ": ");
        }
        AppendHtml(s, PeriodTitle(period));
        s += "</a>";
      }
      s += "</td>";
      Cell(s, f.Detail);
      Number(s, f.Count);
      if (f.Expected != 0 || f.Found != 0 || f.Difference != 0) {
        Cell(s, FindingValue(f, f.Expected), "m");
        Cell(s, FindingValue(f, f.Found), "m");
        Cell(s, FindingValue(f, f.Difference), f.Difference != 0 ? "m delta" : "m");
      } else {
        s += "<td></td><td></td><td></td>";
      }
      s += "</tr>\n";
      out.Spill();
    }
    s += "</tbody></table>\n";
    if (written > kFindingsPerSeverity) {
      s += "<p class=\"note\">" + std::to_string(written - kFindingsPerSeverity) +
           " weitere Befund(e) dieser Schwere stehen in AuditReport.txt und "
           "AuditReport.json.</p>\n";
    }
  }
  s += "</section>\n";
  out.Spill();
}

void WriteOperators(const tAuditReport& report, tReportOut& out) {
  std::string& s = out.text();
  s += "<section id=\"operators\">\n<h2>Bediener</h2>\n";
  if (report.Operators.empty()) {
    s += "<p class=\"none\">Kein Bediener im Journal.</p>\n</section>\n";
    return;
  }
  s += "<table class=\"operators\">";
  Head(s,
       {"Kasse", "Bediener", "Name", "Belege", "Brutto", "Storno", "Retouren", "Training",
        "Rabatte", "Rabattbetrag", "Schublade o. Verkauf"},
       3);
  for (const tOperator& op : report.Operators) {
    s += "<tr>";
    Cell(s, report.Registers[static_cast<size_t>(op.Register)].Number);
    Cell(s, op.Number);
    Cell(s, Win1252ToUtf8(op.Name));
    Number(s, op.Transactions);
    Cell(s, AmountText(op.Gross), "m");
    Number(s, op.Voids);
    Number(s, op.Returns);
    Number(s, op.TrainingReceipts);
    Number(s, op.Discounts);
    Cell(s, AmountText(op.DiscountAmount), "m");
    Number(s, op.NoSaleOpenings);
    s += "</tr>\n";
    out.Spill();
  }
  s += "</tbody></table>\n</section>\n";
}

void WriteRules(tReportOut& out) {
  std::string& s = out.text();
  s += "<section id=\"rules\">\n<h2>Regeln</h2>\n<table class=\"rules\">";
  Head(s, {"Code", "Schwere", "Vergleich", "Quelle"}, 4);
  for (const tRuleInfo& rule : AllRules()) {
    s += "<tr>";
    Cell(s, rule.Id);
    Cell(s, SeverityName(rule.Severity));
    Cell(s, rule.Compares);
    Cell(s, rule.From);
    s += "</tr>\n";
  }
  s += "</tbody></table>\n<h3>Entscheidungen</h3>\n<ul class=\"decisions\">\n";
  for (const std::string_view decision : RuleDecisions()) {
    s += "<li>";
    AppendHtml(s, decision);
    s += "</li>\n";
  }
  s += "</ul>\n</section>\n";
  out.Spill();
}

}  // namespace

void WriteAuditHtml(const tAuditReport& report, tReportOut& out) {
  WriteTop(report, out);
  tDetailBudget budget;
  for (size_t r = 0; r < report.Registers.size(); ++r) {
    WriteRegister(report, static_cast<int32_t>(r), budget, out);
  }
  WriteFindings(report, out);
  WriteOperators(report, out);
  WriteRules(out);
  out.text() += "</body>\n</html>\n";
  out.Finish();
}

}  // namespace audit
