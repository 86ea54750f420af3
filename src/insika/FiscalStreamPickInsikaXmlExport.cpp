#include "insika/FiscalStreamPickInsikaXmlExport.h"

#include <cstdio>

#include "base/KvLog.h"
#include "base/KvText.h"
#include "insika/FiscJnlSignDef.h"
#include "xml/KvXmlStream.h"

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
std::string Indexed(std::string_view name, size_t index) {
  return std::string(name) + static_cast<char>('0' + index);
}

// A freshly made entry element: freed unless it was handed to the document.
class tDetachedNode {
 public:
  tDetachedNode(tKvXml& xml, std::string_view name) : xml_(xml), node_(xml.NewNode(name)) {}
  tDetachedNode(const tDetachedNode&) = delete;
  tDetachedNode& operator=(const tDetachedNode&) = delete;
  ~tDetachedNode() {
    if (node_ != nullptr) xml_.FreeNode(node_);
  }
  tKvXmlNode get() const { return node_; }
  // Appends the element to parent; it belongs to the document from then on.
  tKvXmlNode AppendTo(tKvXmlNode parent) {
    tKvXmlNode appended = xml_.AppendNode(parent, node_);
    tKvXml::CheckNode(appended, "Node not assigned.");
    node_ = nullptr;
    return appended;
  }

 private:
  tKvXml& xml_;
  tKvXmlNode node_;
};

}  // namespace

tFiscalStreamPickInsikaXmlExport::tFiscalStreamPickInsikaXmlExport(
    tKvXml& xml, tKvXmlStream& out, std::string signDefFolder, tKvLog& log,
    std::unique_ptr<tKvFiscalStreamPicker> next)
    : tKvFiscalStreamPicker(std::move(next)),
      xml_(xml),
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
  tDetachedNode entry(xml_, report_ ? "report" : "transaction");
  AddHeaderElements(entry.get());
  if (report_) {
    AddTaxContainers(entry.get(), report_tax_.TaxTotal);
    AddCounterContainers(entry.get());
  } else {
    AddItemList(entry.get());
    AddTaxContainers(entry.get(), tax_sums_);
  }
  const std::string_view sig = signature_.View();
  xml_.AddTextNode(entry.get(), "sig", sig.substr(0, sig.find('\0')));
  DescribeUnit();
  out_.Put(entry.AppendTo(xml_.Root()));
}

void tFiscalStreamPickInsikaXmlExport::AddHeaderElements(tKvXmlNode entry) {
  char text[32];
  int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
  header_.DateTime.DecodeDate(year, month, day);
  header_.DateTime.DecodeTime(hour, minute, second);
  std::snprintf(text, sizeof text, "%04d%02d%02d", year, month, day);
  xml_.AddTextNode(entry, "date", text);
  std::snprintf(text, sizeof text, "%02d%02d", hour, minute);
  xml_.AddTextNode(entry, "time", text);
  xml_.AddTextNode(entry, "tpId", DocText(header_.TaxpayerId.view()));
  xml_.AddTextNode(entry, "tpIdNo", std::to_string(header_.CardNo));
  if (report_) {
    std::snprintf(text, sizeof text, "%02d", header_.Int10_4);
    xml_.AddTextNode(entry, "lifeCycle", text);
    xml_.AddTextNode(entry, "seqNoReport", std::to_string(header_.SeqNo));
    xml_.AddTextNode(entry, "seqNoTransactionFirst", std::to_string(header_.FirstVoucherSeqNo));
    xml_.AddTextNode(entry, "seqNoTransactionLast", std::to_string(header_.LastVoucherSeqNo));
    return;
  }
  xml_.AddTextNode(entry, "operatorId", DocText(header_.Operator.Name.view()));
  std::snprintf(text, sizeof text, "%04d", header_.Currency.IsoNo);
  xml_.AddTextNode(entry, "currency", text);
  xml_.AddTextNode(entry, "seqNoTransaction", std::to_string(header_.SeqNo));
  if (header_.NetBooking) xml_.AddNode(entry, "vatAddon");
  if (header_.Training) xml_.AddNode(entry, "training");
}

void tFiscalStreamPickInsikaXmlExport::AddItemList(tKvXmlNode entry) {
  if (items_.empty()) return;
  tKvXmlNode list = xml_.AddNode(entry, "itemList");
  item_tlv_.Clear();
  for (const auto& item : items_) {
    if (const auto* sale = std::get_if<tFiscSaleItemRec>(&item)) {
      AddSaleItem(list, *sale);
    } else {
      AddAdjust(list, std::get<tFiscAdjustRec>(item));
    }
  }
  if (item_tlv_.Length() == 0) return;
  item_tlv_.Hash();
  xml_.AddTextNode(entry, "hashTransactionItems", item_tlv_.DigestHex());
}

void tFiscalStreamPickInsikaXmlExport::AddSaleItem(tKvXmlNode list, const tFiscSaleItemRec& item) {
  tKvXmlNode node = xml_.AddNode(list, "item");
  xml_.AddTextNode(node, "qnt", item.Quantity.Text(true));
  if (!IsBlank(item.Text.view())) xml_.AddTextNode(node, "unit", DocText(item.Text.view()));
  xml_.AddTextNode(node, "name", DocText(item.Plu.Name.view()));
  AddItemTaxes(node, item.Taxes, item.Kind == kThirdPartyItemKind);
  item_tlv_.AddSaleItem(item);
}

void tFiscalStreamPickInsikaXmlExport::AddAdjust(tKvXmlNode list, const tFiscAdjustRec& adjust) {
  tKvXmlNode node = xml_.AddNode(list, "item");
  xml_.AddTextNode(node, "qnt", "1");
  xml_.AddTextNode(node, "name", DocText(adjust.Ref.Name.view()));
  xml_.AddNode(node, "discountSurcharge");
  AddItemTaxes(node, adjust.Taxes, false);
  item_tlv_.AddAdjust(adjust);
}

void tFiscalStreamPickInsikaXmlExport::AddItemTaxes(tKvXmlNode item, const tFiscItemTaxTable& taxes,
                                                    bool thirdParty) {
  for (size_t index = 1; index < taxes.size(); ++index) {
    const tFiscItemTaxRec& slot = taxes[index];
    if (!slot.Used || slot.Amount.IsZero()) continue;
    xml_.AddTextNode(item, Indexed(thirdParty ? "priceThirdparty" : "price", index),
                     Integer(slot.Amount, 2));
  }
}

void tFiscalStreamPickInsikaXmlExport::AddTaxContainers(tKvXmlNode entry,
                                                        const tFiscTaxSumTable& table) {
  for (size_t index = 1; index < table.size(); ++index) {
    const tFiscTaxSumSlot& slot = table[index];
    const tFiscTaxSumRec& sum = slot.Sum;
    if (!slot.Used || (sum.SalesGross.IsZero() && sum.SalesNegative.IsZero())) continue;
    tKvXmlNode vat = xml_.AddNode(entry, Indexed("containerVat", index));
    if (!sum.SalesGross.IsZero()) xml_.AddTextNode(vat, "turnover", Integer(sum.SalesGross, 2));
    if (!sum.SalesNegative.IsZero()) {
      xml_.AddTextNode(vat, "turnoverNeg", Integer(sum.SalesNegative, 2));
    }
    if (!sum.TaxValue.IsZero()) xml_.AddTextNode(vat, "vat", Integer(sum.TaxValue, 2));
    std::string rate(Integer(sum.Rate, 2));
    if (rate.size() % 2 != 0) rate.insert(rate.begin(), '0');
    xml_.AddTextNode(vat, "vatRate", rate);
    if (!sum.Amount5.IsZero()) xml_.AddTextNode(vat, "cnt", Integer(sum.Amount5, 0));
    if (sum.Flag6) xml_.AddNode(vat, "overflow");
    if (sum.Flag7) xml_.AddNode(vat, "vatChange");
  }
}

void tFiscalStreamPickInsikaXmlExport::AddCounterContainers(tKvXmlNode entry) {
  for (const tCounterContainer& container : kCounterContainers) {
    const tFiscCounterSlot& slot = counters_.Slots[static_cast<size_t>(container.Slot)];
    if (!slot.Used) continue;
    tKvXmlNode node = xml_.AddNode(entry, container.Name);
    xml_.AddTextNode(node, "turnover", Integer(slot.Cell.Amount, 2));
    if (!slot.Cell.Count.IsZero()) xml_.AddTextNode(node, "cnt", Integer(slot.Cell.Count, 0));
    if (slot.Cell.Flag) xml_.AddNode(node, "overflow");
  }
}

void tFiscalStreamPickInsikaXmlExport::DescribeUnit() {
  const std::string_view id = header_.TaxpayerId.view();
  if (IsBlank(id)) return;
  // Keyed by the pair, not by the two joined: "DE1-" with card 3 and "DE1"
  // with card -3 are two units.
  if (!known_units_.emplace(id, header_.CardNo).second) return;
  const std::string cardNo = std::to_string(header_.CardNo);
  tKvXmlNode unit = xml_.AddNode(xml_.Root(), "timParams");
  xml_.AddTextNode(unit, "tpId", DocText(id));
  xml_.AddTextNode(unit, "tpIdNo", cardNo);
  xml_.AddTextNode(unit, "itemProfile", "1");
  const std::string quoted = "ID=\"" + std::string(id) + "\"; CardNr=" + cardNo;
  tSignDefRec def;
  if (ReadSignDef(sign_def_folder_, id, header_.CardNo, def)) {
    if (!def.HasStatus) log_.Add("TIM-Version not found: " + quoted, tKvLog::kError);
    xml_.AddTextNode(unit, "timVersion",
                     DocText(def.HasStatus ? std::string_view(def.TimVersion) : kDefaultTimVersion));
    xml_.AddTextNode(unit, "certificate", def.Certificate);
  } else {
    log_.Add("Certificate not found: " + quoted, tKvLog::kWarning);
  }
  out_.Put(unit);
}
