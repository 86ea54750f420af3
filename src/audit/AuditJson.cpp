#include "audit/AuditJson.h"

#include <string>

#include "base/KvCodepage.h"
#include "base/KvJsonText.h"

namespace audit {
namespace {

constexpr const char* kLineKinds[] = {"tax_gross",      "tax_net",        "tax_value",
                                      "tax_negative",   "media_sales",    "media_change",
                                      "media_paid_in",  "media_paid_out", "counter_count",
                                      "counter_amount", "group_count",    "group_amount"};

const char* StateName(tPeriodState state) {
  switch (state) {
    case tPeriodState::kClosed:
      return "closed";
    case tPeriodState::kOpen:
      return "open";
    case tPeriodState::kNoClosing:
      break;
  }
  return "no_closing";
}

// "key": value pairs of one object, commas placed as they come.
class tObject {
 public:
  explicit tObject(std::string& out) : out_(out) { out_ += '{'; }
  tObject& String(std::string_view key, std::string_view utf8) {
    Key(key);
    AppendJsonString(out_, utf8);
    return *this;
  }
  tObject& Number(std::string_view key, int64_t value) { return Raw(key, std::to_string(value)); }
  tObject& Amount(std::string_view key, tAmount value) { return Raw(key, AmountText(value)); }
  tObject& Bool(std::string_view key, bool value) { return Raw(key, value ? "true" : "false"); }
  tObject& Time(std::string_view key, tTime time) {
    if (time == 0) return Raw(key, "null");
    return String(key, DateTimeText(time));
  }
  tObject& Raw(std::string_view key, std::string_view json) {
    Key(key);
    out_ += json;
    return *this;
  }
  // Opens a member whose value the caller writes.
  std::string& Member(std::string_view key) {
    Key(key);
    return out_;
  }
  void Close() { out_ += '}'; }

 private:
  void Key(std::string_view key) {
    if (!first_) out_ += ", ";
    first_ = false;
    AppendJsonString(out_, key);
    out_ += ": ";
  }
  std::string& out_;
  bool first_ = true;
};

void Rules(std::string& t) {
  t += "  \"rules\": [\n";
  bool first = true;
  for (const tRuleInfo& r : AllRules()) {
    t += first ? "    " : ",\n    ";
    first = false;
    tObject(t)
        .String("id", r.Id)
        .String("severity", SeverityName(r.Severity))
        .String("compares", r.Compares)
        .String("from", r.From)
        .Close();
  }
  t += "\n  ],\n  \"decisions\": [";
  first = true;
  for (std::string_view d : RuleDecisions()) {
    t += first ? "\n    " : ",\n    ";
    first = false;
    AppendJsonString(t, d);
  }
  t += "\n  ],\n";
}

void PeriodJson(std::string& t, const tAuditReport& report, const tPeriod& p) {
  tObject o(t);
  o.Number("register", p.Register)
      .String("state", StateName(p.State))
      .String("title", PeriodTitle(p))
      .String("day", PeriodDay(p))
      .Bool("has_start", p.HasStart)
      .Time("start", p.Start)
      .Time("closing", p.Closing)
      .Time("first_entry", p.FirstEntry)
      .Time("last_entry", p.LastEntry)
      .Number("closing_no", p.ClosingNo)
      .Number("first_receipt", p.FirstReceiptNo)
      .Number("last_receipt", p.LastReceiptNo)
      .Number("first_seq", p.FirstSeqNo)
      .Number("last_seq", p.LastSeqNo)
      .Number("blocks", p.Blocks);
  {
    std::string& e = o.Member("entries");
    tObject entries(e);
    entries.Number("transactions", p.EntriesByClass[0])
        .Number("reports", p.EntriesByClass[1])
        .Number("events", p.EntriesByClass[2]);
    std::string& k = entries.Member("by_kind");
    tObject kinds(k);
    for (size_t i = 0; i < p.EntriesByKind.size(); ++i) {
      if (p.EntriesByKind[i] != 0) kinds.Number(std::to_string(i), p.EntriesByKind[i]);
    }
    kinds.Close();
    entries.Close();
  }
  o.Number("sales_transactions", p.SalesTransactions).Amount("gross", p.Gross);
  {
    tObject byTax(o.Member("gross_by_tax"));
    for (int i = 0; i < kTaxSlots; ++i) {
      if (p.GrossByTax[i] != 0) byTax.Amount(std::to_string(i), p.GrossByTax[i]);
    }
    byTax.Close();
  }
  o.Number("training_receipts", p.TrainingReceipts).Amount("training_gross", p.TrainingGross);
  {
    tObject d(o.Member("drawer"));
    d.Bool("known", p.Drawer.Known)
        .Amount("opening", p.Drawer.Opening)
        .Amount("movements", p.Drawer.Movements)
        .Amount("lowest", p.Drawer.Lowest)
        .Time("lowest_at", p.Drawer.LowestAt)
        .Close();
  }
  std::string& lines = o.Member("lines");
  lines += '[';
  bool first = true;
  for (const tLine& l : p.Lines) {
    lines += first ? "\n      " : ",\n      ";
    first = false;
    tObject line(lines);
    line.String("rule", RuleInfo(l.Rule).Id)
        .String("kind", kLineKinds[static_cast<int>(l.Kind)])
        .Number("key", l.Key)
        .String("subject", LineSubject(report, p, l))
        .Bool("recomputed", l.Recomputed)
        .Bool("reported", l.Reported);
    if (l.Recomputed) line.Raw("journal", LineValue(l, l.Journal));
    if (l.Reported) line.Raw("closing", LineValue(l, l.Closing));
    if (l.Recomputed && l.Reported) line.Raw("difference", LineValue(l, l.Journal - l.Closing));
    line.Close();
  }
  lines += first ? "]" : "\n    ]";
  o.Number("errors", p.Errors).Number("warnings", p.Warnings).Number("info", p.Infos).Close();
}

}  // namespace

void WriteAuditJson(const tAuditReport& report, tReportOut& out) {
  std::string& t = out.text();
  t += "{\n  \"schema\": " + std::to_string(tAuditReport::kSchemaVersion) + ",\n  \"journal\": ";
  AppendJsonString(t, report.Journal);
  t += ",\n  \"summary\": ";
  tObject(t)
      .Number("errors", report.Errors)
      .Number("warnings", report.Warnings)
      .Number("info", report.Infos)
      .Number("periods", static_cast<int64_t>(report.Periods.size()))
      .Number("entries_outside_periods", report.EntriesOutsidePeriods)
      .Close();
  t += ",\n";
  Rules(t);
  t += "  \"registers\": [";
  for (size_t i = 0; i < report.Registers.size(); ++i) {
    const tRegister& r = report.Registers[i];
    t += i == 0 ? "\n    " : ",\n    ";
    tObject(t)
        .String("number", r.Number)
        .Number("serial", r.SerialNo)
        .String("name", Win1252ToUtf8(r.Name))
        .Close();
  }
  t += "\n  ],\n  \"periods\": [";
  for (size_t i = 0; i < report.Periods.size(); ++i) {
    t += i == 0 ? "\n    " : ",\n    ";
    PeriodJson(t, report, report.Periods[i]);
    out.Spill();
  }
  t += "\n  ],\n  \"findings\": [";
  for (size_t i = 0; i < report.Findings.size(); ++i) {
    const tFinding& f = report.Findings[i];
    t += i == 0 ? "\n    " : ",\n    ";
    const tRuleInfo& rule = RuleInfo(f.Rule);
    tObject o(t);
    o.String("rule", rule.Id)
        .String("severity", SeverityName(rule.Severity))
        .Number("period", f.Period);
    if (f.Period >= 0 && f.Period < static_cast<int32_t>(report.Periods.size())) {
      const tPeriod& p = report.Periods[f.Period];
      o.String("day", PeriodDay(p)).Number("closing_no", p.ClosingNo);
    }
    o.Number("count", f.Count)
        .Raw("expected", FindingValue(f, f.Expected))
        .Raw("found", FindingValue(f, f.Found))
        .Raw("difference", FindingValue(f, f.Difference))
        .String("detail", f.Detail)
        .Close();
    out.Spill();
  }
  t += "\n  ],\n  \"operators\": [";
  for (size_t i = 0; i < report.Operators.size(); ++i) {
    const tOperator& op = report.Operators[i];
    t += i == 0 ? "\n    " : ",\n    ";
    tObject(t)
        .Number("register", op.Register)
        .String("number", op.Number)
        .String("name", Win1252ToUtf8(op.Name))
        .Number("transactions", op.Transactions)
        .Amount("gross", op.Gross)
        .Number("voids", op.Voids)
        .Number("returns", op.Returns)
        .Number("training_receipts", op.TrainingReceipts)
        .Number("discounts", op.Discounts)
        .Amount("discount_amount", op.DiscountAmount)
        .Number("no_sale_openings", op.NoSaleOpenings)
        .Close();
  }
  t += "\n  ]\n}\n";
  out.Finish();
}

}  // namespace audit
