#include "audit/AuditHtmlParts.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <limits>
#include <map>
#include <vector>

#include "stream/KvTypes.h"

namespace audit {
namespace {

// Chart geometry in SVG user units (pixels at 100 %).
constexpr double kLeft = 60;        // room for the amount labels
constexpr double kPlotWidth = 960;  // a year of 366 days: bars of about 2.6 units
constexpr double kMaxSlot = 64;     // a few days stay bars, not blocks
constexpr double kTop = 16;         // room for the finding markers
constexpr double kPlotHeight = 170;
constexpr double kAxis = 24;         // room for the date labels
constexpr double kMinLabelGap = 46;  // a "MM.YYYY" label and some air

// The business day of a period: the day number of its closing (of its last
// entry when it has none), 0 when it has no date.
int64_t PeriodDayNumber(const tPeriod& period) {
  return tKvDateTime(period.Closing != 0 ? period.Closing : period.LastEntry).DayNumber();
}

// CSS class of the colour of tax index i, defined by the page's style sheet.
std::string TaxClass(int index) { return "t" + std::to_string(index); }

struct tDay {
  int64_t Number = 0;
  std::array<tAmount, kTaxSlots> Gross{};
  bool Error = false, Warning = false;
};

void Num(std::string& out, double value) {
  char text[32];
  int n = std::snprintf(text, sizeof text, "%.1f", value);
  if (n > 2 && text[n - 1] == '0' && text[n - 2] == '.') n -= 2;
  out.append(text, static_cast<size_t>(n));
}

std::string DayText(int64_t day) { return DateText(day * tKvDateTime::kSecondsPerDay); }

void YearMonth(int64_t day, int& year, int& month) {
  int d = 0;
  tKvDateTime(day * tKvDateTime::kSecondsPerDay).DecodeDate(year, month, d);
}

// The day number of the first of a month; past the calendar's end (year
// 9999) a day after every journal date.
int64_t MonthStart(int year, int month) {
  tKvDateTime first;
  return tKvDateTime::TryEncode(year, month, 1, 0, 0, 0, first)
             ? first.DayNumber()
             : std::numeric_limits<int64_t>::max();
}

// Business days of a register in order, the periods of one day added up.
std::vector<tDay> DaysOf(const tAuditReport& report, int32_t reg) {
  std::map<int64_t, tDay> days;
  for (const tPeriod& period : report.Periods) {
    const int64_t number = PeriodDayNumber(period);
    if (period.Register != reg || number == 0) continue;
    tDay& day = days[number];
    day.Number = number;
    for (int i = 0; i < kTaxSlots; ++i) day.Gross[i] += period.GrossByTax[i];
    day.Error = day.Error || period.Errors > 0;
    day.Warning = day.Warning || period.Warnings > 0;
  }
  std::vector<tDay> list;
  list.reserve(days.size());
  for (const auto& entry : days) list.push_back(entry.second);
  return list;
}

// The smallest of 1, 2, 5 x 10^k currency units not below raw.
tAmount GridStep(tAmount raw) {
  for (tAmount power = kAmountUnit;; power *= 10) {
    for (const tAmount m : {1, 2, 5}) {
      if (power * m >= raw) return power * m;
    }
  }
}

std::string TaxName(int index) { return CaptionUtf8(304) + " " + std::to_string(index); }

// One chart over days[begin, end), all of one calendar year.
void WriteYearChart(const std::vector<tDay>& days, size_t begin, size_t end, tReportOut& out) {
  const int64_t first = days[begin].Number, last = days[end - 1].Number;
  const double slot = std::min(kMaxSlot, kPlotWidth / static_cast<double>(last - first + 1));
  tAmount high = 0, low = 0;
  for (size_t i = begin; i < end; ++i) {
    tAmount up = 0, down = 0;
    for (const tAmount gross : days[i].Gross) (gross > 0 ? up : down) += gross;
    high = std::max(high, up);
    low = std::min(low, down);
  }
  const tAmount step = GridStep(std::max<tAmount>((high - low) / 4, 1));
  high = (high + step - 1) / step * step;
  low = -((-low + step - 1) / step * step);
  if (high == low) high = step;
  const auto y = [&](tAmount v) {
    return kTop + static_cast<double>(high - v) * kPlotHeight / static_cast<double>(high - low);
  };
  const auto x = [&](int64_t day) { return kLeft + static_cast<double>(day - first) * slot; };
  const double width = kLeft + static_cast<double>(last - first + 1) * slot + 8;

  std::string& s = out.text();
  s += "<svg class=\"chart\" width=\"";
  Num(s, width);
  s += "\" height=\"";
  Num(s, kTop + kPlotHeight + kAxis);
  s += "\" viewBox=\"0 0 ";
  Num(s, width);
  s += ' ';
  Num(s, kTop + kPlotHeight + kAxis);
  s += "\" role=\"img\" aria-label=\"Tagesumsatz brutto " + DayText(first) + " - " + DayText(last) +
       "\">\n";
  for (tAmount v = low; v <= high; v += step) {
    s += "<line class=\"grid";
    if (v == 0) s += " zero";
    s += "\" x1=\"";
    Num(s, kLeft);
    s += "\" x2=\"";
    Num(s, width - 4);
    s += "\" y1=\"";
    Num(s, y(v));
    s += "\" y2=\"";
    Num(s, y(v));
    s += "\"/><text class=\"yl\" x=\"";
    Num(s, kLeft - 4);
    s += "\" y=\"";
    Num(s, y(v) + 3);
    s += "\">" + std::to_string(v / kAmountUnit) + "</text>\n";
  }
  out.Spill();

  for (size_t i = begin; i < end; ++i) {
    const tDay& day = days[i];
    const bool finding = day.Error || day.Warning;
    const std::string date = DayText(day.Number);
    s += finding ? "<g class=\"day finding\"" : "<g class=\"day\"";
    s += " data-day=\"" + date + "\"><title>" + date;
    tAmount total = 0;
    for (const tAmount gross : day.Gross) total += gross;
    s += ": " + AmountText(total);
    for (int t = 0; t < kTaxSlots; ++t) {
      if (day.Gross[t] != 0) s += "\n" + TaxName(t) + ": " + AmountText(day.Gross[t]);
    }
    if (finding) s += day.Error ? "\nFehler" : "\nWarnungen";
    s += "</title>";
    if (finding) {
      s += "<rect class=\"band\" x=\"";
      Num(s, x(day.Number));
      s += "\" y=\"";
      Num(s, kTop);
      s += "\" width=\"";
      Num(s, slot);
      s += "\" height=\"";
      Num(s, kPlotHeight);
      s += "\"/><circle class=\"mk ";
      s += day.Error ? 'e' : 'w';
      s += "\" cx=\"";
      Num(s, x(day.Number) + slot / 2);
      s += "\" cy=\"";
      Num(s, kTop / 2);
      s += "\" r=\"";
      Num(s, std::clamp(slot / 2, 2.5, 6.0));
      s += "\"/>";
    }
    tAmount up = 0, down = 0;
    for (int t = 0; t < kTaxSlots; ++t) {
      const tAmount gross = day.Gross[t];
      if (gross == 0) continue;
      tAmount& base = gross > 0 ? up : down;
      const double top = gross > 0 ? y(base + gross) : y(base);
      const double bottom = gross > 0 ? y(base) : y(base + gross);
      base += gross;
      s += "<rect class=\"" + TaxClass(t) + "\" x=\"";
      Num(s, x(day.Number) + slot * 0.15);
      s += "\" y=\"";
      Num(s, top);
      s += "\" width=\"";
      Num(s, slot * 0.7);
      s += "\" height=\"";
      Num(s, std::max(bottom - top, 0.5));
      s += "\"/>";
    }
    s += "</g>\n";
    out.Spill();
  }

  // Labels: each day where a few fit, else each month that has room.
  const double labelY = kTop + kPlotHeight + 15;
  const auto label = [&](double at, const std::string& text, const char* cls) {
    s += "<text class=\"";
    s += cls;
    s += "\" x=\"";
    Num(s, at);
    s += "\" y=\"";
    Num(s, labelY);
    s += "\">" + text + "</text>\n";
  };
  if (slot >= kMinLabelGap / 2) {
    const int64_t every = slot >= kMinLabelGap ? 1 : 2;
    for (int64_t day = first; day <= last; day += every) {
      label(x(day) + slot / 2, DayText(day).substr(0, 6), "xl c");
    }
  } else {
    int year = 0, month = 0;
    YearMonth(first, year, month);
    for (int64_t start = first; start <= last;) {
      const int64_t next = month == 12 ? MonthStart(year + 1, 1) : MonthStart(year, month + 1);
      if (start > first) {
        s += "<line class=\"tick\" x1=\"";
        Num(s, x(start));
        s += "\" x2=\"";
        Num(s, x(start));
        s += "\" y1=\"";
        Num(s, kTop + kPlotHeight);
        s += "\" y2=\"";
        Num(s, labelY - 9);
        s += "\"/>";
      }
      if (static_cast<double>(std::min(next, last + 1) - start) * slot >= kMinLabelGap ||
          start == first) {
        char text[16];
        std::snprintf(text, sizeof text, "%02d.%04d", month % 100, year % 10000);
        label(x(start) + 2, text, "xl");
      }
      start = next;
      if (++month > 12) month = 1, ++year;
    }
  }
  s += "</svg>\n";
  out.Spill();
}

}  // namespace

void AppendHtml(std::string& out, std::string_view utf8) {
  for (const char c : utf8) {
    switch (c) {
      case '&':
        out += "&amp;";
        break;
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '"':
        out += "&quot;";
        break;
      case '\'':
        out += "&#39;";
        break;
      default:
        out += static_cast<unsigned char>(c) < 0x20 && c != '\t' && c != '\n' ? ' ' : c;
    }
  }
}

void WriteDailyChart(const tAuditReport& report, int32_t reg, tReportOut& out) {
  const std::vector<tDay> days = DaysOf(report, reg);
  if (days.empty()) {
    out.text() += "<p class=\"none\">Keine Geschäftstage.</p>\n";
    return;
  }
  // Legend: the tax indexes with sales, each with the rates the periods give it.
  std::array<bool, kTaxSlots> used{};
  for (const tDay& day : days) {
    for (int t = 0; t < kTaxSlots; ++t) used[t] = used[t] || day.Gross[t] != 0;
  }
  std::string& s = out.text();
  s += "<ul class=\"legend\">";
  for (int t = 0; t < kTaxSlots; ++t) {
    if (!used[t]) continue;
    std::vector<int32_t> rates;
    for (const tPeriod& period : report.Periods) {
      const int32_t rate = period.TaxRate[t];
      if (period.Register == reg && rate > 0 &&
          std::find(rates.begin(), rates.end(), rate) == rates.end()) {
        rates.push_back(rate);
      }
    }
    s += "<li><svg width=\"12\" height=\"12\"><rect class=\"" + TaxClass(t) +
         "\" width=\"12\" height=\"12\"/></svg>" + TaxName(t);
    for (size_t r = 0; r < rates.size(); ++r) {
      char percent[24];
      std::snprintf(percent, sizeof percent, "%s%d,%02d %%", r == 0 ? " (" : " / ", rates[r] / 100,
                    rates[r] % 100);
      s += percent;
    }
    if (!rates.empty()) s += ')';
    s += "</li>";
  }
  s += "<li><svg width=\"12\" height=\"12\"><circle class=\"mk e\" cx=\"6\" cy=\"6\" r=\"5\"/>"
       "</svg>Tag mit Fehler</li><li><svg width=\"12\" height=\"12\"><circle class=\"mk w\" "
       "cx=\"6\" cy=\"6\" r=\"5\"/></svg>Tag mit Warnung</li></ul>\n";
  size_t begin = 0;
  while (begin < days.size()) {
    int year = 0, month = 0;
    YearMonth(days[begin].Number, year, month);
    const int64_t nextYear = MonthStart(year + 1, 1);
    size_t end = begin;
    while (end < days.size() && days[end].Number < nextYear) ++end;
    WriteYearChart(days, begin, end, out);
    begin = end;
  }
}

void WriteGapTimeline(const tAuditReport& report, int32_t reg, tReportOut& out) {
  int64_t first = 0, last = 0;
  for (const tPeriod& period : report.Periods) {
    const int64_t day = PeriodDayNumber(period);
    if (period.Register != reg || day == 0) continue;
    first = first == 0 ? day : std::min(first, day);
    last = std::max(last, day);
  }
  if (first == 0) return;
  static constexpr struct {
    tRule Rule;
    const char* Title;
  } kLanes[] = {{tRule::kClosingNumber, "Abschlussnummern"},
                {tRule::kVoucherRange, "Belegbereich"},
                {tRule::kSequenceGap, "Belegsequenz"}};
  constexpr double left = 170, plot = 780, lane = 26;
  const auto x = [&](int64_t day) {
    return last == first ? left + plot / 2
                         : left + 8 +
                               static_cast<double>(day - first) * (plot - 16) /
                                   static_cast<double>(last - first);
  };
  const double height = lane * 3 + 22;
  std::string& s = out.text();
  s += "<svg class=\"timeline\" width=\"";
  Num(s, left + plot + 40);
  s += "\" height=\"";
  Num(s, height);
  s += "\" viewBox=\"0 0 ";
  Num(s, left + plot + 40);
  s += ' ';
  Num(s, height);
  s += "\" role=\"img\" aria-label=\"Lücken in Abschluss- und Belegnummern\">\n";
  for (int l = 0; l < 3; ++l) {
    const double mid = lane * l + lane / 2;
    const tRuleInfo& info = RuleInfo(kLanes[l].Rule);
    s += "<text class=\"lane\" x=\"4\" y=\"";
    Num(s, mid + 4);
    s += "\">" + std::string(info.Id) + " " + kLanes[l].Title + "</text><line class=\"grid\" x1=\"";
    Num(s, left);
    s += "\" x2=\"";
    Num(s, left + plot);
    s += "\" y1=\"";
    Num(s, mid);
    s += "\" y2=\"";
    Num(s, mid);
    s += "\"/>\n";
    int64_t count = 0;
    for (const tFinding& finding : report.Findings) {
      if (finding.Rule != kLanes[l].Rule || finding.Period < 0 ||
          static_cast<size_t>(finding.Period) >= report.Periods.size()) {
        continue;
      }
      const tPeriod& period = report.Periods[static_cast<size_t>(finding.Period)];
      if (period.Register != reg) continue;
      ++count;
      s += "<g class=\"gap\"><title>" + std::string(info.Id) + " " + PeriodTitle(period) + ": ";
      AppendHtml(s, finding.Detail);
      s += "</title><rect x=\"";
      Num(s, x(PeriodDayNumber(period)) - 2.5);
      s += "\" y=\"";
      Num(s, mid - 8);
      s += "\" width=\"5\" height=\"16\"/></g>\n";
      out.Spill();
    }
    if (count == 0) {
      s += "<text class=\"none\" x=\"";
      Num(s, left + 6);
      s += "\" y=\"";
      Num(s, mid - 4);
      s += "\">keine Lücke</text>\n";
    }
  }
  const double axis = lane * 3 + 14;
  s += "<text class=\"xl\" x=\"";
  Num(s, left);
  s += "\" y=\"";
  Num(s, axis);
  s += "\">" + DayText(first) + "</text><text class=\"xl end\" x=\"";
  Num(s, left + plot);
  s += "\" y=\"";
  Num(s, axis);
  s += "\">" + DayText(last) + "</text>\n</svg>\n";
  out.Spill();
}

}  // namespace audit
