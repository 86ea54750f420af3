#include "gen/Fault.h"

#include <algorithm>
#include <iterator>

#include "gen/NativeWriter.h"

namespace jgen {
namespace {

struct FaultDef {
  FaultKind Kind;
  std::string_view Name;
};
constexpr FaultDef kFaults[] = {
    {FaultKind::kReceiptDeleted, "receipt-deleted"},
    {FaultKind::kPaymentAltered, "payment-altered"},
    {FaultKind::kClosingTaxAltered, "closing-tax-altered"},
    {FaultKind::kGrandTotalReset, "grand-total-reset"},
    {FaultKind::kClosingNumberSkipped, "closing-number-skipped"},
    {FaultKind::kTimestampSetBack, "timestamp-set-back"},
    {FaultKind::kTrainingReceipt, "training-receipt"},
    {FaultKind::kNoSaleDrawer, "no-sale-drawer"},
};

}  // namespace

std::optional<FaultKind> ParseFault(std::string_view name) {
  const auto* it = std::find_if(std::begin(kFaults), std::end(kFaults),
                                [name](const FaultDef& f) { return f.Name == name; });
  if (it == std::end(kFaults)) return std::nullopt;
  return it->Kind;
}

std::string_view FaultName(FaultKind kind) {
  const auto* it = std::find_if(std::begin(kFaults), std::end(kFaults),
                                [kind](const FaultDef& f) { return f.Kind == kind; });
  return it == std::end(kFaults) ? "none" : it->Name;
}

std::string FaultNoteText(FaultKind kind, const FaultNote& note) {
  std::string text = "fault=";
  text += FaultName(kind);
  text += "\nday=";
  NativeWriter::AppendDateTime(text, note.Closing);
  text.resize(text.size() - 9);  // the date only: DD.MM.YYYY
  text += "\nclosing=" + std::to_string(note.ClosingNo) + '\n';
  if (note.DifferenceCents) {
    text += "difference=";
    NativeWriter::AppendDecimal(text, Cents(*note.DifferenceCents));
    text += '\n';
  }
  return text;
}

}  // namespace jgen
