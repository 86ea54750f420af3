#include "audit/AuditText.h"

#include <algorithm>
#include <string>

#include "base/KvCodepage.h"

namespace audit {
namespace {

constexpr size_t kSubjectWidth = 52;
constexpr size_t kValueWidth = 14;

std::string Upper(std::string_view text) {
  std::string s(text);
  std::transform(s.begin(), s.end(), s.begin(), [](char c) {
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
  });
  return s;
}

// Characters of UTF-8 text (continuation bytes do not count).
size_t Width(std::string_view text) {
  return static_cast<size_t>(std::count_if(text.begin(), text.end(), [](char c) {
    return (static_cast<unsigned char>(c) & 0xC0) != 0x80;
  }));
}

void PadRight(std::string& out, std::string_view text, size_t width) {
  out += text;
  for (size_t w = Width(text); w < width; ++w) out += ' ';
}

void PadLeft(std::string& out, std::string_view text, size_t width) {
  for (size_t w = Width(text); w < width; ++w) out += ' ';
  out += text;
}

void Heading(std::string& out, std::string_view text, char rule) {
  out += '\n';
  out += text;
  out += '\n';
  out.append(Width(text), rule);
  out += '\n';
}

void Scope(std::string& out, const tAuditReport& report, int32_t reg) {
  int64_t periods = 0, closed = 0, open = 0, noClosing = 0, blocks = 0, sales = 0;
  tTime first = 0, last = 0;
  int32_t firstZ = 0, lastZ = 0, firstReceipt = 0, lastReceipt = 0;
  std::array<int64_t, 3> byClass{};
  std::array<int64_t, 23> byKind{};
  for (const tPeriod& p : report.Periods) {
    if (p.Register != reg) continue;
    ++periods;
    closed += p.State == tPeriodState::kClosed;
    open += p.State == tPeriodState::kOpen;
    noClosing += p.State == tPeriodState::kNoClosing;
    blocks += p.Blocks;
    sales += p.SalesTransactions;
    const tTime from = p.Start != 0 ? p.Start : p.FirstEntry;
    if (first == 0 || (from != 0 && from < first)) first = from;
    last = std::max({last, p.LastEntry, p.Closing});
    if (p.State == tPeriodState::kClosed) {
      if (firstZ == 0) firstZ = p.ClosingNo;
      lastZ = p.ClosingNo;
    }
    if (firstReceipt == 0) firstReceipt = p.FirstReceiptNo;
    if (p.LastReceiptNo != 0) lastReceipt = p.LastReceiptNo;
    for (int i = 0; i < 3; ++i) byClass[i] += p.EntriesByClass[i];
    for (size_t i = 0; i < byKind.size(); ++i) byKind[i] += p.EntriesByKind[i];
  }
  out += "Zeitraum: " + DateText(first) + " - " + DateText(last) + "\n";
  out += "Perioden: " + std::to_string(periods) + " (abgeschlossen " + std::to_string(closed) +
         ", offen " + std::to_string(open) + ", ohne Abschluss " + std::to_string(noClosing) +
         "), Blöcke: " + std::to_string(blocks) + "\n";
  out += "Abschlüsse (Z): " + std::to_string(firstZ) + " - " + std::to_string(lastZ) +
         ", Belege: " + std::to_string(firstReceipt) + " - " + std::to_string(lastReceipt) +
         ", Umsatzbelege: " + std::to_string(sales) + "\n";
  out += "Einträge: Transaktionen " + std::to_string(byClass[0]) + ", Berichte " +
         std::to_string(byClass[1]) + ", Ereignisse " + std::to_string(byClass[2]) + "\n";
  std::string kinds;
  for (size_t k = 1; k < byKind.size(); ++k) {
    if (byKind[k] == 0) continue;
    kinds += (kinds.empty() ? "" : ", ") + CaptionUtf8(20000 + static_cast<int32_t>(k)) + " " +
             std::to_string(byKind[k]);
  }
  if (byKind[0] != 0)
    kinds += (kinds.empty() ? "" : ", ") + std::string("? ") + std::to_string(byKind[0]);
  out += "Nach Art: " + kinds + "\n";
}

void Lines(std::string& out, const tAuditReport& report, const tPeriod& p) {
  if (p.Lines.empty()) return;
  out += '\n';
  PadRight(out, "", kSubjectWidth);
  PadLeft(out, "Journal", kValueWidth);
  PadLeft(out, "Abschluss", kValueWidth);
  PadLeft(out, "Differenz", kValueWidth);
  out += '\n';
  for (const tLine& l : p.Lines) {
    PadRight(out, LineSubject(report, p, l), kSubjectWidth);
    PadLeft(out, l.Recomputed ? LineValue(l, l.Journal) : "-", kValueWidth);
    PadLeft(out, l.Reported ? LineValue(l, l.Closing) : "-", kValueWidth);
    if (!l.Recomputed) {
      out += "   (not recomputable)";
    } else if (!l.Reported) {
      out += "   (not reported)";
    } else {
      PadLeft(out, LineValue(l, l.Journal - l.Closing), kValueWidth);
      if (l.Differs()) out += "  <<";
    }
    out += '\n';
  }
}

void Period(std::string& out, const tAuditReport& report, const tPeriod& p, int32_t index) {
  Heading(out, PeriodTitle(p), '-');
  out += "Von " + DateTimeText(p.Start != 0 ? p.Start : p.FirstEntry) + " bis " +
         DateTimeText(p.Closing != 0 ? p.Closing : p.LastEntry) +
         (p.HasStart ? "" : " (the journal begins inside this period)") + "\n";
  out += "Belege " + std::to_string(p.FirstReceiptNo) + " - " + std::to_string(p.LastReceiptNo) +
         ", Sequenz " + std::to_string(p.FirstSeqNo) + " - " + std::to_string(p.LastSeqNo) +
         ", Blöcke " + std::to_string(p.Blocks) + "\n";
  out += "Umsatzbelege " + std::to_string(p.SalesTransactions) + ", " + CaptionUtf8(702) + " " +
         AmountText(p.Gross) + "; Trainingsbelege " + std::to_string(p.TrainingReceipts) +
         ", brutto " + AmountText(p.TrainingGross) + " (nicht im Umsatz)\n";
  if (p.Drawer.Known) {
    out += "Schublade (Bar): Anfangsbestand " + AmountText(p.Drawer.Opening) + ", Bewegungen " +
           AmountText(p.Drawer.Movements) + ", niedrigster Stand " + AmountText(p.Drawer.Lowest) +
           (p.Drawer.LowestAt != 0 ? " am " + DateTimeText(p.Drawer.LowestAt) : "") + "\n";
  }
  if (p.State == tPeriodState::kOpen) {
    out += "No closing yet: the period's figures are not reconciled.\n";
  }
  Lines(out, report, p);
  bool any = false;
  for (const tFinding& f : report.Findings) {
    if (f.Period != index) continue;
    if (!any) out += "\nBefunde:\n";
    any = true;
    out += "  " + FindingLine(report, f) + "\n";
  }
}

void Operators(std::string& out, const tAuditReport& report, int32_t reg) {
  bool any = false;
  for (const tOperator& o : report.Operators) {
    if (o.Register != reg) continue;
    if (!any) {
      out +=
          "\nBediener                  Belege        Brutto  Storno  Retouren  Training  "
          "Rabatte  Schublade o. Verkauf\n";
    }
    any = true;
    std::string name = o.Number + " " + Win1252ToUtf8(o.Name);
    PadRight(out, name, 20);
    PadLeft(out, std::to_string(o.Transactions), 11);
    PadLeft(out, AmountText(o.Gross), 14);
    PadLeft(out, std::to_string(o.Voids), 8);
    PadLeft(out, std::to_string(o.Returns), 10);
    PadLeft(out, std::to_string(o.TrainingReceipts), 10);
    PadLeft(out, std::to_string(o.Discounts), 9);
    PadLeft(out, std::to_string(o.NoSaleOpenings), 22);
    out += '\n';
  }
}

void Rules(std::string& out) {
  Heading(out, "Regeln", '=');
  for (const tRuleInfo& r : AllRules()) {
    std::string line = std::string(r.Id) + " " + std::string(SeverityName(r.Severity));
    PadRight(out, line, 13);
    out += std::string(r.Compares) + "\n             from: " + std::string(r.From) + "\n";
  }
  out += "\nDecisions:\n";
  for (std::string_view d : RuleDecisions()) out += "- " + std::string(d) + "\n";
}

}  // namespace

std::string FindingLine(const tAuditReport& report, const tFinding& f) {
  const tRuleInfo& rule = RuleInfo(f.Rule);
  std::string line = "[" + Upper(SeverityName(rule.Severity)) + "] " + std::string(rule.Id);
  if (f.Period >= 0 && f.Period < static_cast<int32_t>(report.Periods.size())) {
    line += " " + PeriodTitle(report.Periods[f.Period]);
  }
  line += ": " + std::string(rule.Compares);
  if (!f.Detail.empty()) line += ": " + f.Detail;
  if (f.Expected != 0 || f.Found != 0) {
    // A closing's figure against its journal, or a value against the one expected.
    const bool closing = rule.Severity == tSeverity::kError;
    line += std::string(closing ? " (journal " : " (expected ") + FindingValue(f, f.Expected) +
            (closing ? ", closing " : ", found ") + FindingValue(f, f.Found) + ", difference " +
            FindingValue(f, f.Difference) + ")";
  }
  if (f.Count > 1) line += " [" + std::to_string(f.Count) + "x]";
  return line;
}

void WriteAuditText(const tAuditReport& report, tReportOut& out) {
  std::string& t = out.text();
  t += "Prüfbericht: Journal gegen Abschlüsse (Jorvex /AUDIT)\n";
  t += "Journal: " + report.Journal + "\n";
  t += "Ergebnis: " + std::to_string(report.Errors) + " error(s), " +
       std::to_string(report.Warnings) + " warning(s), " + std::to_string(report.Infos) +
       " info; " + std::to_string(report.Periods.size()) + " period(s)\n";
  if (report.EntriesOutsidePeriods > 0) {
    t += "Entries outside any period (after a closing, before the next start): " +
         std::to_string(report.EntriesOutsidePeriods) + "\n";
  }
  for (size_t r = 0; r < report.Registers.size(); ++r) {
    const auto reg = static_cast<int32_t>(r);
    Heading(t, RegisterTitle(report.Registers[r]), '=');
    Scope(t, report, reg);
    out.Spill();
    for (size_t i = 0; i < report.Periods.size(); ++i) {
      if (report.Periods[i].Register != reg) continue;
      Period(t, report, report.Periods[i], static_cast<int32_t>(i));
      out.Spill();
    }
    Operators(t, report, reg);
  }
  Heading(t, "Befunde", '=');
  if (report.Findings.empty()) t += "None.\n";
  for (const tSeverity severity : {tSeverity::kError, tSeverity::kWarning, tSeverity::kInfo}) {
    for (const tFinding& f : report.Findings) {
      if (RuleInfo(f.Rule).Severity != severity) continue;
      t += FindingLine(report, f) + "\n";
      out.Spill();
    }
  }
  Rules(t);
  out.Finish();
}

}  // namespace audit
