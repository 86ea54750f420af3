#include "eval/KvKPosFiscalStreamHelp.h"

#include <algorithm>
#include <cstring>

#include "base/KvErrors.h"
#include "stream/KvKPosComStreamData.h"

namespace {

// Small matchers over a path: Is(path, a) is the one-element path {a},
// Starts(path, a) any path that begins with a, Below(path) the rest after
// the first identifier.
bool Is(tFiscPath path, int32_t id) { return path.size() == 1 && path[0] == id; }

bool Starts(tFiscPath path, int32_t id) { return !path.empty() && path[0] == id; }

tFiscPath Below(tFiscPath path) { return path.subspan(1); }

bool ValidTaxIndex(int32_t index) { return index >= 0 && index < kFiscTaxSlots; }

template <std::size_t N>
void StoreText(tFiscText<N>& text, const tKvKPosData& element) {
  if (std::string_view view; element.GetAsStringView(1, view)) {
    text.assign(view);
  } else {
    text.assign(element.GetAsString(1));
  }
}

tKvBcd Decimal(const tKvKPosData& element) { return element.GetAsBcd(1); }
tKvBcdFix Digits(const tKvKPosData& element) { return element.GetAsBcdFix(1); }
tKvDateTime DateTime(const tKvKPosData& element) { return element.GetAsDateTime(1); }

[[noreturn]] void ModifierIndexOutOfBounds() { throw EKvMisc("Modifier: Index out of bounds!"); }

}  // namespace

// ---------------------------------------------------------------------------

bool tFiscBytes::Assign(std::string_view value) {
  const bool fits = value.size() <= static_cast<std::size_t>(kCapacity);
  const std::size_t size = fits ? value.size() : 0;
  if (size > 0) std::memcpy(Data.data(), value.data(), size);
  // Zero what the previous value left behind, so that copies and
  // comparisons of the whole buffer see no stale bytes. Length is a public
  // field: never trust it beyond the buffer.
  const std::size_t old = static_cast<std::size_t>(std::clamp(Length, 0, kCapacity));
  if (old > size) std::memset(Data.data() + size, 0, old - size);
  Length = static_cast<int32_t>(size);
  return fits;
}

// ---------------------------------------------------------------------------

tFiscPluModifierArr::tFiscPluModifierArr(const tFiscPluModifierArr& other)
    : count_(other.count_), items_(other.items_.begin(), other.items_.begin() + other.count_) {}

tFiscPluModifierArr& tFiscPluModifierArr::operator=(const tFiscPluModifierArr& other) {
  if (this == &other) return *this;
  const auto valid = static_cast<std::size_t>(other.count_);
  if (items_.size() < valid) items_.resize(valid);
  std::copy_n(other.items_.begin(), valid, items_.begin());
  count_ = other.count_;
  return *this;
}

void tFiscPluModifierArr::Add(tFiscModifierRec& pending) {
  if (items_.size() < static_cast<std::size_t>(count_) + 1) items_.resize(items_.size() + 1);
  items_[static_cast<std::size_t>(count_)] = pending;
  ++count_;
  pending = {};
}

tFiscModifierRec tFiscPluModifierArr::Get(int32_t index) const {
  if (index < 1 || index > count_) [[unlikely]]
    ModifierIndexOutOfBounds();
  return items_[static_cast<std::size_t>(index) - 1];
}

void tFiscPluModifierArr::Release() {
  count_ = 0;
  std::vector<tFiscModifierRec>().swap(items_);
}

bool operator==(const tFiscPluModifierArr& a, const tFiscPluModifierArr& b) {
  if (a.count_ != b.count_) return false;
  for (int32_t i = 0; i < a.count_; ++i) {
    if (!(a.items_[static_cast<std::size_t>(i)] == b.items_[static_cast<std::size_t>(i)]))
      return false;
  }
  return true;
}

void tFiscSaleItemRec::Clear() {
  tFiscPluModifierArr modifiers = std::move(Modifiers);
  *this = {};
  modifiers.Clear();
  Modifiers = std::move(modifiers);
}

void tFiscPLULinkRec::Clear() {
  tFiscPluModifierArr modifiers = std::move(Modifiers);
  *this = {};
  modifiers.Clear();
  Modifiers = std::move(modifiers);
}

// ---------------------------------------------------------------------------
// Value kinds and composite values

int32_t FiscInteger(const tKvKPosData& element) { return element.GetAsInteger(1); }

bool FiscFlag(const tKvKPosData& element) { return element.GetAsInteger(1) == 1; }

bool FiscStoreField(tFiscNumTextRec& rec, tFiscPath path, const tKvKPosData& element) {
  if (Is(path, 1)) {
    rec.Number = Digits(element);
  } else if (Is(path, 2)) {
    StoreText(rec.Name, element);
  } else {
    return false;
  }
  return true;
}

bool FiscStoreField(tFiscIdTextRec& rec, tFiscPath path, const tKvKPosData& element) {
  if (Is(path, 1)) {
    rec.Number = FiscInteger(element);
  } else if (Is(path, 2)) {
    StoreText(rec.Name, element);
  } else {
    return false;
  }
  return true;
}

bool FiscStoreField(tFiscCurrencyRec& rec, tFiscPath path, const tKvKPosData& element) {
  if (path.empty() || Is(path, 1)) {
    StoreText(rec.IsoCode, element);
  } else if (Is(path, 2)) {
    rec.IsoNo = FiscInteger(element);
  } else if (Is(path, 3)) {
    rec.Extra = FiscInteger(element);
  } else {
    return false;
  }
  return true;
}

bool FiscStoreField(tFiscCounterRec& rec, tFiscPath path, const tKvKPosData& element) {
  if (Is(path, 1)) {
    rec.Count = Decimal(element);
  } else if (Is(path, 2)) {
    rec.Amount = Decimal(element);
  } else if (Is(path, 3)) {
    rec.Flag = FiscFlag(element);
  } else {
    return false;
  }
  return true;
}

bool FiscStoreField(tFiscAmountPairRec& rec, tFiscPath path, const tKvKPosData& element) {
  if (Is(path, 2)) {
    rec.Net = Decimal(element);
  } else if (Is(path, 1)) {
    rec.Gross = Decimal(element);
  } else {
    return false;
  }
  return true;
}

bool FiscStoreField(tFiscTotalsRec& rec, tFiscPath path, const tKvKPosData& element) {
  if (Is(path, 1)) {
    rec.Sales = Decimal(element);
  } else if (Is(path, 2)) {
    rec.Turnover = Decimal(element);
  } else if (Is(path, 3)) {
    rec.Returns = Decimal(element);
  } else {
    return false;
  }
  return true;
}

bool FiscStoreField(tFiscTaxSumRec& rec, tFiscPath path, const tKvKPosData& element) {
  if (path.size() == 2 && path[0] == 1) {
    switch (path[1]) {
      case 1:
        rec.TaxIndex = FiscInteger(element);
        return ValidTaxIndex(rec.TaxIndex);
      case 2:
        rec.Rate = Decimal(element);
        return true;
      case 3:
        StoreText(rec.Text, element);
        return true;
      default:
        return false;
    }
  }
  if (path.size() != 1) return false;
  switch (path[0]) {
    case 2:
      rec.SalesGross = Decimal(element);
      return true;
    case 3:
      rec.TaxValue = Decimal(element);
      return true;
    case 4:
      rec.SalesNegative = Decimal(element);
      return true;
    case 5:
      rec.Amount5 = Decimal(element);
      return true;
    case 6:
      rec.Flag6 = FiscFlag(element);
      return true;
    case 7:
      rec.Flag7 = FiscFlag(element);
      return true;
    case 8:
      rec.SalesNet = Decimal(element);
      return true;
    default:
      return false;
  }
}

bool FiscStoreField(tFiscModifierRec& rec, tFiscPath path, const tKvKPosData& element) {
  if (Starts(path, 1)) return FiscStoreField(rec.Modifier, Below(path), element);
  if (Is(path, 2)) {
    rec.Amount = Decimal(element);
    return true;
  }
  return false;
}

bool FiscStoreItemTaxField(tFiscItemTaxRec& pending, tFiscPath path, const tKvKPosData& element) {
  if (Is(path, 1)) {
    // An index outside the table is kept, so that the tax record is not
    // stored into a wrong slot when it closes, and reported now.
    pending.TaxIndex = FiscInteger(element);
    return ValidTaxIndex(pending.TaxIndex);
  }
  if (Is(path, 2)) {
    pending.Amount = Decimal(element);
    return true;
  }
  return false;
}

// ---------------------------------------------------------------------------
// Records

namespace {

// A header field that sits directly below kind 1.
bool StoreHeaderLeaf(tFiscHeaderRec& rec, int32_t id, const tKvKPosData& element) {
  switch (id) {
    case 1:
      rec.DateTime = DateTime(element);
      return true;
    case 3:
      rec.DocNo = FiscInteger(element);
      return true;
    case 4:
      rec.Training = FiscFlag(element);
      return true;
    case 5:
      rec.EcrNo = Digits(element);
      return true;
    case 6:
      rec.BookMemNo = Digits(element);
      return true;
    case 7:
      rec.BookMemType = FiscInteger(element);
      return true;
    case 8:
      rec.NetBooking = FiscFlag(element);
      return true;
    case 9:
      rec.SeqNo = FiscInteger(element);
      return true;
    case 12:
      rec.LastVoucherSeqNo = FiscInteger(element);
      return true;
    case 13:
      rec.FirstVoucherSeqNo = FiscInteger(element);
      return true;
    case 14:
      StoreText(rec.EcrText, element);
      return true;
    case 15:
      rec.NotPrinted = FiscFlag(element);
      return true;
    case 16:
      rec.Int16 = FiscInteger(element);
      return true;
    case 17:
      StoreText(rec.InvoiceNo, element);
      return true;
    case 18:
      StoreText(rec.VoucherLink, element);
      return true;
    default:
      return false;
  }
}

// 1.10: the data of the signing unit; path below 10.
bool StoreSigningUnit(tFiscHeaderRec& rec, tFiscPath path, const tKvKPosData& element) {
  if (path.empty()) return false;
  const tFiscPath sub = Below(path);
  if (path[0] == 7) {  // 1.10.7: control data
    if (Is(sub, 1)) {
      rec.ControlDateTime = DateTime(element);
      return true;
    }
    if (Is(sub, 3)) {
      StoreText(rec.ControlModuleId, element);
      return true;
    }
    if (Is(sub, 4)) {
      StoreText(rec.SigningCardId, element);
      return true;
    }
    if (!Starts(sub, 2)) return false;
    const tFiscPath counter = Below(sub);  // 1.10.7.2: receipt counter
    if (Is(counter, 1)) {
      rec.ReceiptCounter.Counter = FiscInteger(element);
      return true;
    }
    if (Is(counter, 2)) {
      rec.ReceiptCounter.Counter2 = FiscInteger(element);
      return true;
    }
    if (Is(counter, 3)) {
      StoreText(rec.ReceiptCounter.Text, element);
      return true;
    }
    return false;
  }
  if (!sub.empty()) return false;
  switch (path[0]) {
    case 1:
      StoreText(rec.TaxpayerId, element);
      return true;
    case 2:
      rec.CardNo = FiscInteger(element);
      return true;
    case 3:
      StoreText(rec.ManufacturingId, element);
      return true;
    case 4:
      rec.Int10_4 = FiscInteger(element);
      return true;
    case 5:
      rec.KeyPairSerialNo = FiscInteger(element);
      return true;
    case 6:
      return rec.PluHash.Assign(element.GetText(false));  // like signature k.1
    case 8:
      StoreText(rec.EcrProductionNo, element);
      return true;
    default:
      return false;
  }
}

// 1.21: the customer; path below 21.
bool StoreCustomer(tFiscCustomerRec& rec, tFiscPath path, const tKvKPosData& element) {
  if (path.size() != 1) return false;
  switch (path[0]) {
    case 1:
      StoreText(rec.TaxNo, element);
      return true;
    case 2:
      StoreText(rec.Name, element);
      return true;
    case 3:
      StoreText(rec.Street, element);
      return true;
    case 4:
      StoreText(rec.City, element);
      return true;
    case 5:
      StoreText(rec.PostCode, element);
      return true;
    case 6:
      StoreText(rec.Country, element);
      return true;
    default:
      return false;
  }
}

}  // namespace

bool FiscStoreHeaderField(tFiscHeaderRec& rec, tFiscPath path, const tKvKPosData& element) {
  if (path.empty()) return false;
  const tFiscPath sub = Below(path);
  switch (path[0]) {
    case 2:
      return FiscStoreField(rec.Operator, sub, element);
    case 10:
      return StoreSigningUnit(rec, sub, element);
    case 11:
      return FiscStoreField(rec.Currency, sub, element);
    case 19:
      if (Is(sub, 1)) {
        StoreText(rec.Subsequent.Text, element);
        return true;
      }
      if (Is(sub, 2)) {
        rec.Subsequent.IssueDate = DateTime(element);
        return true;
      }
      return false;
    case 20:
      if (Is(sub, 1)) {
        StoreText(rec.Void.OriginalInvoice, element);
        return true;
      }
      if (Starts(sub, 2)) return FiscStoreField(rec.Void.VoidType, Below(sub), element);
      if (Is(sub, 3)) {
        StoreText(rec.Void.Reason, element);
        return true;
      }
      return false;
    case 21:
      return StoreCustomer(rec.Customer, sub, element);
    case 22:
      return FiscStoreField(rec.FiscalReport, sub, element);
    default:
      return sub.empty() && StoreHeaderLeaf(rec, path[0], element);
  }
}

bool FiscStoreEventHeaderField(tFiscHeaderRec& rec, tFiscPath path, const tKvKPosData& element) {
  if (Is(path, 1)) {
    rec.DateTime = DateTime(element);
    return true;
  }
  if (Is(path, 2)) {
    rec.EcrNo = Digits(element);
    return true;
  }
  if (Starts(path, 3)) return FiscStoreField(rec.Operator, Below(path), element);
  if (Starts(path, 4)) return FiscStoreField(rec.AuthOperator, Below(path), element);
  return false;
}

bool FiscStoreSaleItemField(tFiscSaleItemRec& rec, tFiscItemTaxRec& pendingTax,
                            tFiscModifierRec& pendingModifier, tFiscPath path,
                            const tKvKPosData& element) {
  if (path.empty()) return false;
  const tFiscPath sub = Below(path);
  switch (path[0]) {
    case 1:
      return FiscStoreField(rec.Plu, sub, element);
    case 9:
      return FiscStoreField(rec.Department, sub, element);
    case kFiscSaleItemTax:
      return FiscStoreItemTaxField(pendingTax, sub, element);
    case kFiscSaleItemModifier:
      return FiscStoreField(pendingModifier, sub, element);
    default:
      break;
  }
  if (!sub.empty()) return false;
  switch (path[0]) {
    case 2:
      rec.Quantity = Decimal(element);
      return true;
    case 3:
      rec.Amount = Decimal(element);
      return true;
    case 6:
      StoreText(rec.Text, element);
      return true;
    case 7:
      rec.PriceOverwrite = FiscFlag(element);
      return true;
    case 10:
      rec.Amount10 = Decimal(element);
      return true;
    default:
      return false;  // k.5 included: the linked article is not stored here
  }
}

bool FiscStorePLULinkField(tFiscPLULinkRec& rec, tFiscModifierRec& pendingModifier, tFiscPath path,
                           const tKvKPosData& element) {
  if (path.empty()) return false;
  const tFiscPath sub = Below(path);
  switch (path[0]) {
    case 1:
      return FiscStoreField(rec.Plu, sub, element);
    case 7:
      return FiscStoreField(rec.Department, sub, element);
    case kFiscLinkModifier:
      return FiscStoreField(pendingModifier, sub, element);
    default:
      break;
  }
  if (!sub.empty()) return false;
  switch (path[0]) {
    case 2:
      rec.Quantity = Decimal(element);
      return true;
    case 3:
      rec.Amount = Decimal(element);
      return true;
    case 4:
      StoreText(rec.Text, element);
      return true;
    case 5:
      rec.PriceOverwrite = FiscFlag(element);
      return true;
    default:
      return false;
  }
}

bool FiscStoreAdjustField(tFiscAdjustRec& rec, tFiscItemTaxRec& pendingTax, tFiscPath path,
                          const tKvKPosData& element) {
  if (Starts(path, 1)) return FiscStoreField(rec.Ref, Below(path), element);
  if (Starts(path, kFiscAdjustTax)) return FiscStoreItemTaxField(pendingTax, Below(path), element);
  if (Is(path, 2)) {
    rec.Amount = Decimal(element);
    return true;
  }
  if (Is(path, 4)) {
    rec.Flag = FiscFlag(element);
    return true;
  }
  return false;
}

bool FiscStoreDepositField(tFiscDepositRec& rec, tFiscPath path, const tKvKPosData& element) {
  if (Starts(path, 1)) return FiscStoreField(rec.Ref, Below(path), element);
  if (Is(path, 2)) {
    rec.Amount = Decimal(element);
    return true;
  }
  return false;
}

bool FiscStoreClosingField(tFiscClosingRec& rec, tFiscTaxSumRec& pendingTaxSum, tFiscPath path,
                           const tKvKPosData& element) {
  if (path.empty()) return false;
  const tFiscPath sub = Below(path);
  switch (path[0]) {
    case 1:
      return FiscStoreField(rec.Totals, sub, element);
    case kFiscClosingTaxSum:
      return sub.empty() || FiscStoreField(pendingTaxSum, sub, element);
    case 3:
      return FiscStoreField(rec.Expenses, sub, element);
    case 4:
      return FiscStoreField(rec.Tip, sub, element);
    case 5:
      return FiscStoreField(rec.Declared, sub, element);
    case 6:
      return FiscStoreField(rec.Difference, sub, element);
    case 7:
      return FiscStoreField(rec.Drawer, sub, element);
    case 8:
      return FiscStoreField(rec.PettyCash, sub, element);
    default:
      return false;
  }
}

bool FiscStorePaymentField(tFiscPaymentRec& rec, int32_t kind, tFiscPath path,
                           const tKvKPosData& element) {
  if (path.empty()) return false;
  const tFiscPath sub = Below(path);
  switch (path[0]) {
    case 1:
      if (Is(sub, 1)) {
        rec.Media.MediaNo = FiscInteger(element);
      } else if (Is(sub, 2)) {
        StoreText(rec.Media.MediaName, element);
      } else if (Is(sub, 3)) {
        StoreText(rec.Media.MediaText, element);
      } else {
        return false;
      }
      rec.Kind = kind;
      return true;
    case 2:
      if (!sub.empty()) return false;
      rec.Amount = Decimal(element);
      return true;
    case 3:
      if (!sub.empty()) return false;
      rec.PayDateTime = DateTime(element);
      return true;
    case 4:
      return FiscStoreField(rec.ForeignCurrency, sub, element);
    default:
      return false;
  }
}

bool FiscStoreSignatureField(tFiscSignatureRec& rec, tFiscPath path, const tKvKPosData& element) {
  // The long text form gives two hexadecimal digits per byte of a binary
  // element, so a signature of up to 512 bytes fits.
  if (Is(path, 1)) return rec.Assign(element.GetText(false));
  if (Is(path, 2)) {
    if (std::string_view view; element.GetAsStringView(1, view)) return rec.Assign(view);
    return rec.Assign(element.GetAsString(1));
  }
  return false;
}

bool FiscStoreReportMediaField(tFiscReportMediaRec& rec, tFiscPath path,
                               const tKvKPosData& element) {
  if (path.empty()) return false;
  tFiscMediaCell* cell = nullptr;
  switch (path[0]) {
    case 1:
      return FiscStoreField(rec.Media, Below(path), element);
    case 2:
      cell = &rec.Sales;
      break;
    case 3:
      cell = &rec.Change;
      break;
    case 4:
      cell = &rec.PaidIn;
      break;
    case 5:
      cell = &rec.PaidOut;
      break;
    case 6:
      cell = &rec.Drawer;
      break;
    default:
      return false;
  }
  if (!FiscStoreField(cell->Cell, Below(path), element)) return false;
  cell->Present = true;
  return true;
}

bool FiscStoreReportGroupField(tFiscReportGroupRec& rec, tFiscPath path,
                               const tKvKPosData& element) {
  if (Starts(path, 1)) return FiscStoreField(rec.Group, Below(path), element);
  if (Starts(path, 2)) return FiscStoreField(rec.Cell, Below(path), element);
  return false;
}

// ---------------------------------------------------------------------------
// Pending values

bool FiscStoreItemTax(tFiscItemTaxTable& taxes, tFiscItemTaxRec& pending) {
  const bool valid = ValidTaxIndex(pending.TaxIndex);
  if (valid) {
    tFiscItemTaxRec& slot = taxes[static_cast<std::size_t>(pending.TaxIndex)];
    slot.Used = true;
    slot.TaxIndex = pending.TaxIndex;
    slot.Amount = pending.Amount;
  }
  pending = {};
  return valid;
}

bool FiscStoreTaxSum(tFiscTaxSumTable& table, tFiscTaxSumRec& pending) {
  const bool valid = ValidTaxIndex(pending.TaxIndex);
  if (valid) {
    tFiscTaxSumSlot& slot = table[static_cast<std::size_t>(pending.TaxIndex)];
    slot.Used = true;
    slot.Sum = pending;
  }
  pending = {};
  return valid;
}

bool FiscStoreReportCounter(tFiscReportCountersRec& rec, int32_t reportKind,
                            tFiscCounterRec& pending) {
  const int slotIndex = FiscReportCounterSlot(reportKind);
  if (slotIndex >= 0) {
    tFiscCounterSlot& slot = rec.Slots[static_cast<std::size_t>(slotIndex)];
    slot.Used = true;
    slot.Kind = reportKind;
    slot.Cell = pending;
  }
  pending = {};
  return slotIndex >= 0;
}
