#include "eval/KvFiscalStreamEvalExt.h"

#include <algorithm>
#include <array>

namespace {

// Where the fields of a record kind go.
enum class tTarget : uint8_t {
  kUnhandled,      // no record takes the kind
  kDropped,        // taken and dropped without notice
  kHeader,         // tFiscHeaderRec (transaction and report paths)
  kEventHeader,    // tFiscHeaderRec (event paths)
  kSaleItem,       // tFiscSaleItemRec, or tFiscPLULinkRec below k.5
  kAdjust,         // tFiscAdjustRec
  kDeposit,        // tFiscDepositRec
  kClosing,        // tFiscClosingRec, or the pending tax summary below 5.2
  kPayment,        // tFiscPaymentRec
  kSignature,      // tFiscSignatureRec
  kReportCounter,  // the pending report cell
  kReportTaxSum,   // the pending tax summary
  kReportMedia,    // tFiscReportMediaRec
  kReportGroup,    // tFiscReportGroupRec
  kGrandTotal,     // GrandTotal of tFiscReportCountersRec
  kEventInfo,      // Info of tFiscEventRec
  kEventValue,     // Value of tFiscEventRec
};

// Record kinds covered by the table; any other kind is unhandled.
constexpr int32_t kKindCount = 32;
using tTargetRow = std::array<tTarget, kKindCount>;

// Rows: transaction, report, event (by tEntryClass - 1).
constexpr std::array<tTargetRow, 3> MakeTargets() {
  std::array<tTargetRow, 3> rows{};
  for (auto& row : rows) row.fill(tTarget::kUnhandled);

  tTargetRow& tr = rows[0];
  tr[kFiscKindHeader] = tTarget::kHeader;
  for (int32_t k = 0; k < kKindCount; ++k) {
    const auto i = static_cast<size_t>(k);
    if (FiscIsSaleItemKind(k)) tr[i] = tTarget::kSaleItem;
    if (FiscIsAdjustKind(k)) tr[i] = tTarget::kAdjust;
    if (FiscIsDepositKind(k)) tr[i] = tTarget::kDeposit;
    if (FiscIsPaymentKind(k)) tr[i] = tTarget::kPayment;
  }
  tr[kFiscTrClosing] = tTarget::kClosing;
  tr[kFiscTrSignature] = tTarget::kSignature;

  tTargetRow& rp = rows[1];
  rp[kFiscKindHeader] = tTarget::kHeader;
  for (int32_t k : kFiscReportCounterKinds) rp[static_cast<size_t>(k)] = tTarget::kReportCounter;
  rp[kFiscRpTaxTotal] = tTarget::kReportTaxSum;
  rp[kFiscRpTaxSingle] = tTarget::kReportTaxSum;
  rp[kFiscRpSignature] = tTarget::kSignature;
  rp[kFiscRpDropped] = tTarget::kDropped;
  rp[kFiscRpMedia] = tTarget::kReportMedia;
  rp[kFiscRpGroupA] = tTarget::kReportGroup;
  rp[kFiscRpGroupB] = tTarget::kReportGroup;
  rp[kFiscRpGrandTotal] = tTarget::kGrandTotal;

  tTargetRow& ev = rows[2];
  ev[kFiscKindHeader] = tTarget::kEventHeader;
  ev[kFiscEvInfo] = tTarget::kEventInfo;
  ev[kFiscEvValue] = tTarget::kEventValue;
  return rows;
}

constexpr std::array<tTargetRow, 3> kTargets = MakeTargets();

// call on every picker chain that receives the records, in their order.
template <typename... Params, typename... Args>
void Deliver(const std::vector<tKvFiscalStreamPicker*>& pickers,
             void (tKvFiscalStreamPicker::*call)(Params...), const Args&... args) {
  for (tKvFiscalStreamPicker* picker : pickers) (picker->*call)(args...);
}

// Deepest level at which a closing record is acted on (a linked article's
// modifier, k.5.6).
constexpr int32_t kDeepestRecordLevel = 4;

}  // namespace

tKvFiscalStreamEvalExt::tKvFiscalStreamEvalExt(tKvFiscalStreamPicker* picker,
                                               std::unique_ptr<tKvFiscalStreamEval> next)
    : tKvFiscalStreamEval(std::move(next)) {
  if (picker != nullptr) pickers_.push_back(picker);
}

tKvFiscalStreamEvalExt::~tKvFiscalStreamEvalExt() { CloseQuietly(); }

void tKvFiscalStreamEvalExt::ShareRecords(tKvFiscalStreamPicker& picker) {
  pickers_.push_back(&picker);
}

void tKvFiscalStreamEvalExt::UnhandledField(int32_t /*id*/, const tKvKPosData& /*element*/) {}

void tKvFiscalStreamEvalExt::BlockEnd() {
  // An entry left open by its producer belongs to the block that ends: its
  // records and its EntryEnd go out before the pickers hear of the end.
  CloseEntry();
  Deliver(pickers_, &tKvFiscalStreamPicker::BlockEnd);
  tKvFiscalStreamEval::BlockEnd();
}

void tKvFiscalStreamEvalExt::EntryCompleted() {
  FinishRecords(0, 0, true);
  has_data_ = false;
}

void tKvFiscalStreamEvalExt::LevelClosed(int32_t level, int32_t id, bool entryEnd) {
  if (entryEnd) {
    Deliver(pickers_, &tKvFiscalStreamPicker::EntryEnd);
  } else {
    FinishRecords(level, id, false);
  }
  tKvFiscalStreamEval::LevelClosed(level, id, entryEnd);
}

void tKvFiscalStreamEvalExt::FileHeader(const tKvKPosTextFileHeaderRec& header) {
  tKvFiscalStreamEval::FileHeader(header);
  Deliver(pickers_, &tKvFiscalStreamPicker::FileHeader, header);
}

void tKvFiscalStreamEvalExt::SetVersion(int32_t index, int32_t value) {
  tKvFiscalStreamEval::SetVersion(index, value);
  ignore_ = !(index == 1 && value == 1);
  ClearBuffers();
  has_data_ = false;
}

void tKvFiscalStreamEvalExt::BlockStart(const tKvKPosBlockInfoRec& info) {
  tKvFiscalStreamEval::BlockStart(info);
  Deliver(pickers_, &tKvFiscalStreamPicker::BlockStart, info);
}

void tKvFiscalStreamEvalExt::EntryStart(const tKvKPosEntryInfoRec& info) {
  tKvFiscalStreamEval::EntryStart(info);
  Deliver(pickers_, &tKvFiscalStreamPicker::EntryStart, info);
}

void tKvFiscalStreamEvalExt::RecordStart(int32_t id, int32_t level) {
  tKvFiscalStreamEval::RecordStart(id, level);
  if (!ignore_ && level == 1 && id >= 1)
    Deliver(pickers_, &tKvFiscalStreamPicker::SetEntryType, entry_type());
}

void tKvFiscalStreamEvalExt::Field(int32_t id, const tKvKPosData& element) {
  tKvFiscalStreamEval::Field(id, element);
  if (!ignore_) StoreField(id, element);
}

tKvFiscalStreamEvalExt::tEntryClass tKvFiscalStreamEvalExt::EntryClass() const {
  const tKvKPosFiscalType& type = entry_type();
  if (type.IsTransaction) return tEntryClass::kTransaction;
  if (type.IsReport) return tEntryClass::kReport;
  if (type.IsEvent) return tEntryClass::kEvent;
  return tEntryClass::kNone;
}

void tKvFiscalStreamEvalExt::StoreField(int32_t id, const tKvKPosData& element) {
  const tEntryClass entryClass = EntryClass();
  const int32_t depth = cur_level() + 1;  // the level of the field's own identifier
  if (entryClass == tEntryClass::kNone || depth < 2) {
    UnhandledField(path(1), element);
    return;
  }
  has_data_ = true;
  const int32_t kind = path(2);
  const tTarget target =
      kind >= 0 && kind < kKindCount
          ? kTargets[static_cast<size_t>(entryClass) - 1][static_cast<size_t>(kind)]
          : tTarget::kUnhandled;
  // The identifiers below the record kind, ending with the field's own.
  const tFiscPath below = path_span(3, depth);
  bool stored = false;
  switch (target) {
    case tTarget::kUnhandled:
      UnhandledField(kind, element);
      return;
    case tTarget::kDropped:
      return;
    case tTarget::kHeader:
      stored = FiscStoreHeaderField(header_, below, element);
      break;
    case tTarget::kEventHeader:
      stored = FiscStoreEventHeaderField(header_, below, element);
      break;
    case tTarget::kSaleItem:
      if (depth >= 3 && path(3) == kFiscSaleItemLink) {
        stored = FiscStorePLULinkField(plu_link_, pending_modifier_, path_span(4, depth), element);
      } else {
        stored = FiscStoreSaleItemField(sale_item_, pending_item_tax_, pending_modifier_, below,
                                        element);
      }
      break;
    case tTarget::kAdjust:
      stored = FiscStoreAdjustField(adjust_, pending_item_tax_, below, element);
      break;
    case tTarget::kDeposit:
      stored = FiscStoreDepositField(deposit_, below, element);
      break;
    case tTarget::kClosing:
      stored = FiscStoreClosingField(closing_, pending_tax_sum_, below, element);
      break;
    case tTarget::kPayment:
      stored = FiscStorePaymentField(payment_, kind, below, element);
      break;
    case tTarget::kSignature:
      stored = FiscStoreSignatureField(signature_, below, element);
      break;
    case tTarget::kReportCounter:
      stored = FiscStoreField(pending_counter_, below, element);
      break;
    case tTarget::kReportTaxSum:
      stored = FiscStoreField(pending_tax_sum_, below, element);
      break;
    case tTarget::kReportMedia:
      stored = FiscStoreReportMediaField(report_media_, below, element);
      break;
    case tTarget::kReportGroup:
      stored = FiscStoreReportGroupField(report_group_, below, element);
      break;
    case tTarget::kGrandTotal:
      stored = FiscStoreField(report_counters_.GrandTotal, below, element);
      break;
    case tTarget::kEventInfo:
      stored = FiscStoreField(event_.Info, below, element);
      break;
    case tTarget::kEventValue:
      stored = FiscStoreField(event_.Value, below, element);
      break;
  }
  if (!stored) UnhandledField(id, element);
}

void tKvFiscalStreamEvalExt::FinishRecords(int32_t level, int32_t id, bool force) {
  if (ignore_ || !has_data_) return;
  const tEntryClass entryClass = EntryClass();
  // Only records that are open can finish: one at each level up to the
  // current one. A field's identifier one level deeper is no record.
  for (int32_t l = std::min(cur_level(), kDeepestRecordLevel); l >= 1; --l) {
    const bool finished = force || l > level || (l == level && id > 0);
    if (!finished) break;  // the levels above it stay open as well
    switch (entryClass) {
      case tEntryClass::kTransaction:
        FinishTransactionRecord(l);
        break;
      case tEntryClass::kReport:
        FinishReportRecord(l);
        break;
      case tEntryClass::kEvent:
        FinishEventRecord(l);
        break;
      case tEntryClass::kNone:
        return;
    }
  }
}

void tKvFiscalStreamEvalExt::FinishTransactionRecord(int32_t recordLevel) {
  const int32_t kind = path(2);
  const int32_t sub = path(3);
  if (kind == kFiscKindHeader) {
    if (recordLevel == 2) DeliverHeader();
  } else if (FiscIsSaleItemKind(kind)) {
    if (recordLevel == 4 && sub == kFiscSaleItemLink && path(4) == kFiscLinkModifier) {
      plu_link_.Modifiers.Add(pending_modifier_);
    } else if (recordLevel == 3 && sub == kFiscSaleItemTax) {
      FiscStoreItemTax(sale_item_.Taxes, pending_item_tax_);
    } else if (recordLevel == 3 && sub == kFiscSaleItemLink) {
      Deliver(pickers_, &tKvFiscalStreamPicker::PLULink, plu_link_);
      plu_link_.Clear();
    } else if (recordLevel == 3 && sub == kFiscSaleItemModifier) {
      sale_item_.Modifiers.Add(pending_modifier_);
    } else if (recordLevel == 2) {
      sale_item_.Kind = kind;
      Deliver(pickers_, &tKvFiscalStreamPicker::SaleItem, sale_item_);
      sale_item_.Clear();
    }
  } else if (FiscIsAdjustKind(kind)) {
    if (recordLevel == 3 && sub == kFiscAdjustTax) {
      FiscStoreItemTax(adjust_.Taxes, pending_item_tax_);
    } else if (recordLevel == 2) {
      adjust_.Kind = kind;
      Deliver(pickers_, &tKvFiscalStreamPicker::Adjust, adjust_);
      adjust_ = {};
    }
  } else if (kind == kFiscTrClosing) {
    if (recordLevel == 3 && sub == kFiscClosingTaxSum) {
      FiscStoreTaxSum(closing_.TaxSums, pending_tax_sum_);
    } else if (recordLevel == 2) {
      Deliver(pickers_, &tKvFiscalStreamPicker::Closing, closing_);
      closing_ = {};
    }
  } else if (FiscIsPaymentKind(kind)) {
    if (recordLevel == 2) {
      Deliver(pickers_, &tKvFiscalStreamPicker::Payment, payment_);
      payment_ = {};
    }
  } else if (kind == kFiscTrSignature) {
    if (recordLevel == 2) DeliverSignature();
  } else if (FiscIsDepositKind(kind)) {
    if (recordLevel == 2) {
      deposit_.Kind = kind;
      Deliver(pickers_, &tKvFiscalStreamPicker::Deposit, deposit_);
      deposit_ = {};
    }
  }
}

void tKvFiscalStreamEvalExt::FinishReportRecord(int32_t recordLevel) {
  if (recordLevel == 1) {
    Deliver(pickers_, &tKvFiscalStreamPicker::ReportCounters, report_counters_);
    report_counters_ = {};
    Deliver(pickers_, &tKvFiscalStreamPicker::ReportTax, report_tax_);
    report_tax_ = {};
    return;
  }
  if (recordLevel != 2) return;
  const int32_t kind = path(2);
  switch (kind) {
    case kFiscKindHeader:
      DeliverHeader();
      break;
    case kFiscRpTaxTotal:
      FiscStoreTaxSum(report_tax_.TaxTotal, pending_tax_sum_);
      break;
    case kFiscRpTaxSingle:
      FiscStoreTaxSum(report_tax_.TaxSingle, pending_tax_sum_);
      break;
    case kFiscRpSignature:
      DeliverSignature();
      break;
    case kFiscRpMedia:
      Deliver(pickers_, &tKvFiscalStreamPicker::ReportMedia, report_media_);
      report_media_ = {};
      break;
    case kFiscRpGroupA:
    case kFiscRpGroupB:
      Deliver(pickers_, &tKvFiscalStreamPicker::ReportGroup, report_group_,
              kind == kFiscRpGroupA ? 0 : 1);
      report_group_ = {};
      break;
    default:
      if (FiscReportCounterSlot(kind) >= 0) {
        FiscStoreReportCounter(report_counters_, kind, pending_counter_);
      }
      break;
  }
}

void tKvFiscalStreamEvalExt::FinishEventRecord(int32_t recordLevel) {
  if (recordLevel == 2 && path(2) == kFiscKindHeader) {
    DeliverHeader();
  } else if (recordLevel == 1) {
    Deliver(pickers_, &tKvFiscalStreamPicker::Event, event_);
    event_ = {};
  }
}

void tKvFiscalStreamEvalExt::DeliverHeader() {
  Deliver(pickers_, &tKvFiscalStreamPicker::Header, header_);
  header_ = {};
}

void tKvFiscalStreamEvalExt::DeliverSignature() {
  Deliver(pickers_, &tKvFiscalStreamPicker::Signature, signature_);
  signature_.Clear();
}

void tKvFiscalStreamEvalExt::ClearBuffers() {
  header_ = {};
  sale_item_.Clear();
  plu_link_.Clear();
  adjust_ = {};
  deposit_ = {};
  closing_ = {};
  payment_ = {};
  report_counters_ = {};
  report_tax_ = {};
  report_media_ = {};
  report_group_ = {};
  event_ = {};
  signature_.Clear();
  pending_modifier_ = {};
  pending_item_tax_ = {};
  pending_tax_sum_ = {};
  pending_counter_ = {};
}
