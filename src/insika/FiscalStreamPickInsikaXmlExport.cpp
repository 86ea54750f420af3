#include "insika/FiscalStreamPickInsikaXmlExport.h"

#include <cassert>
#include <cstdio>

#include "base/KvLog.h"
#include "base/KvText.h"
#include "eval/KvBcdText.h"
#include "insika/FiscJnlSignDef.h"

namespace {

constexpr int32_t kThirdPartyItemKind = 9;
constexpr std::string_view kDefaultTimVersion = "T.0.0.0";

// The counter containers of a report: element name and counter slot.
struct tCounterContainer {
  std::string_view Name;
  int Slot;
};
constexpr tCounterContainer kCounterContainers[] = {
    {"containerThirdparty", FiscReportCounterSlot(26)},
    {"containerDeliverynote", FiscReportCounterSlot(6)},
    {"containerTraining", FiscReportCounterSlot(7)},
};

// An element name with a tax index (1-8) after it.
class tIndexedName {
 public:
  tIndexedName(std::string_view name, size_t index) : size_(name.size() + 1) {
    assert(size_ <= sizeof text_ && index < 10);
    name.copy(text_, name.size());
    text_[name.size()] = static_cast<char>('0' + index);
  }
  std::string_view View() const { return {text_, size_}; }

 private:
  char text_[24];
  size_t size_;
};

}  // namespace

tFiscalStreamPickInsikaXmlExport::tFiscalStreamPickInsikaXmlExport(
    tKvXmlElementWriter& out, std::string signDefFolder, tKvLog& log,
    std::unique_ptr<tKvFiscalStreamPicker> next)
    : tKvFiscalStreamPicker(std::move(next)),
      out_(out),
      sign_def_folder_(std::move(signDefFolder)),
      log_(log) {}

tFiscalStreamPickInsikaXmlExport::~tFiscalStreamPickInsikaXmlExport() = default;

void tFiscalStreamPickInsikaXmlExport::ResetEntry() {
  skip_entry_ = true;
  report_ = false;
  signature_.Clear();
  items_.clear();
  tax_sums_ = {};
  counters_ = {};
  report_tax_ = {};
}

void tFiscalStreamPickInsikaXmlExport::Header(const tFiscHeaderRec& rec) {
  tKvFiscalStreamPicker::Header(rec);
  ResetEntry();
  header_ = rec;
  const uint8_t kind = entry_type().Kind;
  report_ = kind == kEntryRegEnd;
  skip_entry_ =
      !(report_ || kind == kEntryInvoice || kind == kEntryReceipt || kind == kEntryManualInvoice);
}

void tFiscalStreamPickInsikaXmlExport::SaleItem(const tFiscSaleItemRec& rec) {
  tKvFiscalStreamPicker::SaleItem(rec);
  if (!skip_entry_) items_.emplace_back(rec);
}

void tFiscalStreamPickInsikaXmlExport::Adjust(const tFiscAdjustRec& rec) {
  tKvFiscalStreamPicker::Adjust(rec);
  if (!skip_entry_) items_.emplace_back(rec);
}

void tFiscalStreamPickInsikaXmlExport::Closing(const tFiscClosingRec& rec) {
  tKvFiscalStreamPicker::Closing(rec);
  if (!skip_entry_) tax_sums_ = rec.TaxSums;
}

void tFiscalStreamPickInsikaXmlExport::Signature(const tFiscSignatureRec& rec) {
  tKvFiscalStreamPicker::Signature(rec);
  if (!skip_entry_) signature_ = rec;
}

void tFiscalStreamPickInsikaXmlExport::ReportCounters(const tFiscReportCountersRec& rec) {
  tKvFiscalStreamPicker::ReportCounters(rec);
  if (!skip_entry_) counters_ = rec;
}

void tFiscalStreamPickInsikaXmlExport::ReportTax(const tFiscReportTaxRec& rec) {
  tKvFiscalStreamPicker::ReportTax(rec);
  if (!skip_entry_) report_tax_ = rec;
}

void tFiscalStreamPickInsikaXmlExport::EntryEnd() {
  tKvFiscalStreamPicker::EntryEnd();
  try {
    if (!skip_entry_ && signature_.Length > 0) WriteEntry();
  } catch (...) {
    ResetEntry();
    throw;
  }
  ResetEntry();
}

std::string_view tFiscalStreamPickInsikaXmlExport::DocText(std::string_view text) {
  text_.assign(text);
  for (char& c : text_) {
    const auto b = static_cast<unsigned char>(c);
    if (b >= 128 && b <= 159) c = '_';
  }
  return text_;
}

std::string_view tFiscalStreamPickInsikaXmlExport::Integer(const tKvBcd& value, int shift) {
  number_.clear();
  InsikaAppendInteger(number_, value, shift);
  return number_;
}

void tFiscalStreamPickInsikaXmlExport::WriteEntry() {
  // The unit's description goes before the unit's first entry.
  DescribeUnit();
  out_.Start(report_ ? "report" : "transaction");
  AddHeaderElements();
  if (report_) {
    AddTaxContainers(report_tax_.TaxTotal);
    AddCounterContainers();
  } else {
    AddItemList();
    AddTaxContainers(tax_sums_);
  }
  const std::string_view sig = signature_.View();
  out_.TextElement("sig", sig.substr(0, sig.find('\0')));
  out_.End();
}

void tFiscalStreamPickInsikaXmlExport::AddHeaderElements() {
  char text[32];
  int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
  header_.DateTime.DecodeDate(year, month, day);
  header_.DateTime.DecodeTime(hour, minute, second);
  std::snprintf(text, sizeof text, "%04d%02d%02d", year, month, day);
  out_.TextElement("date", text);
  std::snprintf(text, sizeof text, "%02d%02d", hour, minute);
  out_.TextElement("time", text);
  out_.TextElement("tpId", DocText(header_.TaxpayerId.view()));
  out_.TextElement("tpIdNo", std::to_string(header_.CardNo));
  if (report_) {
    std::snprintf(text, sizeof text, "%02d", header_.Int10_4);
    out_.TextElement("lifeCycle", text);
    out_.TextElement("seqNoReport", std::to_string(header_.SeqNo));
    out_.TextElement("seqNoTransactionFirst", std::to_string(header_.FirstVoucherSeqNo));
    out_.TextElement("seqNoTransactionLast", std::to_string(header_.LastVoucherSeqNo));
    return;
  }
  out_.TextElement("operatorId", DocText(header_.Operator.Name.view()));
  std::snprintf(text, sizeof text, "%04d", header_.Currency.IsoNo);
  out_.TextElement("currency", text);
  out_.TextElement("seqNoTransaction", std::to_string(header_.SeqNo));
  if (header_.NetBooking) out_.EmptyElement("vatAddon");
  if (header_.Training) out_.EmptyElement("training");
}

void tFiscalStreamPickInsikaXmlExport::AddItemList() {
  if (items_.empty()) return;
  out_.Start("itemList");
  item_tlv_.Clear();
  for (const auto& item : items_) {
    if (const auto* sale = std::get_if<tFiscSaleItemRec>(&item)) {
      AddSaleItem(*sale);
    } else {
      AddAdjust(std::get<tFiscAdjustRec>(item));
    }
  }
  out_.End();
  if (item_tlv_.Length() == 0) return;
  item_tlv_.Hash();
  out_.TextElement("hashTransactionItems", item_tlv_.DigestHex());
}

void tFiscalStreamPickInsikaXmlExport::AddSaleItem(const tFiscSaleItemRec& item) {
  out_.Start("item");
  number_.clear();
  AppendBcdText(number_, item.Quantity, true);
  out_.TextElement("qnt", number_);
  if (!IsBlank(item.Text.view())) out_.TextElement("unit", DocText(item.Text.view()));
  out_.TextElement("name", DocText(item.Plu.Name.view()));
  AddItemTaxes(item.Taxes, item.Kind == kThirdPartyItemKind);
  out_.End();
  item_tlv_.AddSaleItem(item);
}

void tFiscalStreamPickInsikaXmlExport::AddAdjust(const tFiscAdjustRec& adjust) {
  out_.Start("item");
  out_.TextElement("qnt", "1");
  out_.TextElement("name", DocText(adjust.Ref.Name.view()));
  out_.EmptyElement("discountSurcharge");
  AddItemTaxes(adjust.Taxes, false);
  out_.End();
  item_tlv_.AddAdjust(adjust);
}

void tFiscalStreamPickInsikaXmlExport::AddItemTaxes(const tFiscItemTaxTable& taxes,
                                                    bool thirdParty) {
  for (size_t index = 1; index < taxes.size(); ++index) {
    const tFiscItemTaxRec& slot = taxes[index];
    if (!slot.Used || slot.Amount.IsZero()) continue;
    out_.TextElement(tIndexedName(thirdParty ? "priceThirdparty" : "price", index).View(),
                     Integer(slot.Amount, 2));
  }
}

void tFiscalStreamPickInsikaXmlExport::AddTaxContainers(const tFiscTaxSumTable& table) {
  for (size_t index = 1; index < table.size(); ++index) {
    const tFiscTaxSumSlot& slot = table[index];
    const tFiscTaxSumRec& sum = slot.Sum;
    if (!slot.Used || (sum.SalesGross.IsZero() && sum.SalesNegative.IsZero())) continue;
    const tIndexedName name("containerVat", index);
    out_.Start(name.View());
    if (!sum.SalesGross.IsZero()) out_.TextElement("turnover", Integer(sum.SalesGross, 2));
    if (!sum.SalesNegative.IsZero()) {
      out_.TextElement("turnoverNeg", Integer(sum.SalesNegative, 2));
    }
    if (!sum.TaxValue.IsZero()) out_.TextElement("vat", Integer(sum.TaxValue, 2));
    std::string rate(Integer(sum.Rate, 2));
    if (rate.size() % 2 != 0) rate.insert(rate.begin(), '0');
    out_.TextElement("vatRate", rate);
    if (!sum.Amount5.IsZero()) out_.TextElement("cnt", Integer(sum.Amount5, 0));
    if (sum.Flag6) out_.EmptyElement("overflow");
    if (sum.Flag7) out_.EmptyElement("vatChange");
    out_.End();
  }
}

void tFiscalStreamPickInsikaXmlExport::AddCounterContainers() {
  for (const tCounterContainer& container : kCounterContainers) {
    const tFiscCounterSlot& slot = counters_.Slots[static_cast<size_t>(container.Slot)];
    if (!slot.Used) continue;
    out_.Start(container.Name);
    out_.TextElement("turnover", Integer(slot.Cell.Amount, 2));
    if (!slot.Cell.Count.IsZero()) out_.TextElement("cnt", Integer(slot.Cell.Count, 0));
    if (slot.Cell.Flag) out_.EmptyElement("overflow");
    out_.End();
  }
}

void tFiscalStreamPickInsikaXmlExport::DescribeUnit() {
  const std::string_view id = header_.TaxpayerId.view();
  if (IsBlank(id)) return;
  // Keyed by the pair, not by the two joined: "DE1-" with card 3 and "DE1"
  // with card -3 are two units.
  if (!known_units_.emplace(id, header_.CardNo).second) return;
  const std::string cardNo = std::to_string(header_.CardNo);
  const std::string quoted = "ID=\"" + std::string(id) + "\"; CardNr=" + cardNo;
  tSignDefRec def;
  const bool found = ReadSignDef(sign_def_folder_, id, header_.CardNo, def);
  out_.Start("timParams");
  out_.TextElement("tpId", DocText(id));
  out_.TextElement("tpIdNo", cardNo);
  out_.TextElement("itemProfile", "1");
  if (found) {
    if (!def.HasStatus) log_.Add("TIM-Version not found: " + quoted, tKvLog::kError);
    out_.TextElement("timVersion",
                     DocText(def.HasStatus ? std::string_view(def.TimVersion) : kDefaultTimVersion));
    out_.TextElement("certificate", def.Certificate);
  } else {
    log_.Add("Certificate not found: " + quoted, tKvLog::kWarning);
  }
  out_.End();
}
