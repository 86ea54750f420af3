#include "audit/AuditModel.h"

#include <cstdio>

#include "base/KvCodepage.h"
#include "eval/FiscCaptions.h"
#include "stream/KvTypes.h"

namespace audit {
namespace {

const std::string* NameOf(const std::vector<tName>& names, int32_t reg, int32_t number) {
  for (const tName& n : names) {
    if (n.Register == reg && n.Number == number) return &n.Name;
  }
  return nullptr;
}

std::string Numbered(const char* what, int32_t number, const std::string* name) {
  std::string text = std::string(what) + " " + std::to_string(number);
  if (name != nullptr && !name->empty()) text += " " + Win1252ToUtf8(*name);
  return text;
}

}  // namespace

std::string CaptionUtf8(int32_t code) { return Win1252ToUtf8(FiscCaption(code)); }

std::string AmountText(tAmount amount) {
  const bool negative = amount < 0;
  const uint64_t magnitude = negative ? 0 - static_cast<uint64_t>(amount) : amount;
  const uint64_t whole = magnitude / kAmountUnit;
  uint64_t fraction = magnitude % kAmountUnit;
  int places = 4;
  while (places > 2 && fraction % 10 == 0) {
    fraction /= 10;
    --places;
  }
  char text[40];
  std::snprintf(text, sizeof text, "%s%llu.%0*llu", negative ? "-" : "",
                static_cast<unsigned long long>(whole), places,
                static_cast<unsigned long long>(fraction));
  return text;
}

std::string DateText(tTime time) {
  return time <= 0 ? std::string() : tKvDateTime(time).DateText(true);
}

std::string DateTimeText(tTime time) {
  if (time <= 0) return {};
  int h = 0, mi = 0, s = 0;
  tKvDateTime(time).DecodeTime(h, mi, s);
  char text[16];
  std::snprintf(text, sizeof text, " %02d:%02d:%02d", h % 100, mi % 100, s % 100);
  return DateText(time) + text;
}

std::string LineSubject(const tAuditReport& report, const tPeriod& period, const tLine& line) {
  const auto countOrAmount = [](bool count) { return count ? ": Anzahl" : ": Betrag"; };
  switch (line.Kind) {
    case tLineKind::kTaxGross:
    case tLineKind::kTaxNet:
    case tLineKind::kTaxValue:
    case tLineKind::kTaxNegative: {
      static constexpr int32_t kCaption[] = {522, 528, 523, 524};
      std::string text = CaptionUtf8(304) + " " + std::to_string(line.Key);
      const int32_t rate = line.Key >= 0 && line.Key < kTaxSlots ? period.TaxRate[line.Key] : 0;
      if (rate > 0) {
        char percent[24];
        std::snprintf(percent, sizeof percent, " (%d,%02d %%)", rate / 100, rate % 100);
        text += percent;
      }
      return text + ": " + CaptionUtf8(kCaption[static_cast<int>(line.Kind)]);
    }
    case tLineKind::kMediaSales:
    case tLineKind::kMediaChange:
    case tLineKind::kMediaPaidIn:
    case tLineKind::kMediaPaidOut: {
      static constexpr int32_t kCaption[] = {752, 753, 754, 755};
      const int index = static_cast<int>(line.Kind) - static_cast<int>(tLineKind::kMediaSales);
      return Numbered("Finanzweg", line.Key, NameOf(report.Media, period.Register, line.Key)) +
             ": " + CaptionUtf8(kCaption[index]);
    }
    case tLineKind::kCounterCount:
    case tLineKind::kCounterAmount:
      return CaptionUtf8(700 + line.Key) + countOrAmount(line.Kind == tLineKind::kCounterCount);
    case tLineKind::kGroupCount:
    case tLineKind::kGroupAmount:
      return Numbered("Hauptgruppe", line.Key, NameOf(report.Groups, period.Register, line.Key)) +
             countOrAmount(line.Kind == tLineKind::kGroupCount);
  }
  return {};
}

std::string LineValue(const tLine& line, int64_t value) {
  const bool count = line.Kind == tLineKind::kCounterCount || line.Kind == tLineKind::kGroupCount;
  return count ? std::to_string(value) : AmountText(value);
}

std::string FindingValue(const tFinding& finding, int64_t value) {
  switch (finding.Values) {
    case tValueKind::kAmount:
      return AmountText(value);
    case tValueKind::kSeconds: {
      const uint64_t magnitude = value < 0 ? 0 - static_cast<uint64_t>(value) : value;
      char text[40];
      std::snprintf(text, sizeof text, "%s%llu:%02u:%02u", value < 0 ? "-" : "",
                    static_cast<unsigned long long>(magnitude / 3600),
                    static_cast<unsigned>(magnitude / 60 % 60),
                    static_cast<unsigned>(magnitude % 60));
      return text;
    }
    case tValueKind::kNumber:
      break;
  }
  return std::to_string(value);
}

std::string RegisterTitle(const tRegister& reg) {
  std::string text = "Kasse " + reg.Number + " (" + std::to_string(reg.SerialNo) + ")";
  if (!reg.Name.empty()) text += " " + Win1252ToUtf8(reg.Name);
  return text;
}

std::string PeriodDay(const tPeriod& period) {
  return DateText(period.Closing != 0 ? period.Closing : period.LastEntry);
}

std::string PeriodTitle(const tPeriod& period) {
  switch (period.State) {
    case tPeriodState::kClosed:
      return "Z " + std::to_string(period.ClosingNo) + ", " + DateText(period.Closing);
    case tPeriodState::kOpen:
      return "open, from " + DateText(period.Start);
    case tPeriodState::kNoClosing:
      break;
  }
  return "no closing, " + DateText(period.Start) + " - " + DateText(period.LastEntry);
}

}  // namespace audit
