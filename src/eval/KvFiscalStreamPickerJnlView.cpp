#include "eval/KvFiscalStreamPickerJnlView.h"

#include <algorithm>
#include <array>
#include <cassert>
#include <initializer_list>
#include <utility>

#include "base/KvText.h"
#include "eval/FiscCaptions.h"
#include "eval/JnlViewText.h"
#include "eval/KvFiscalDataDest.h"

using namespace jnl_view;
using namespace std::string_view_literals;

namespace {

// The captions of the view, by code.
enum : int32_t {
  kCapDateTime = 101,
  kCapOperator = 102,
  kCapAuth = 103,
  kCapTraining = 104,
  kCapEcrNo = 105,
  kCapBookMem = 106,
  kCapNetBooking = 108,
  kCapVoucherSeqNo = 109,
  kCapSeqNo = 110,
  kCapCurrency = 111,
  kCapLastVoucher = 112,
  kCapFirstVoucher = 113,
  kCapInvoiceNo = 117,
  kCapVoucherLink = 118,
  kCapSubsequent = 119,
  kCapForeignCurrency = 120,
  kCapCustomer = 121,
  kCapFiscalReport = 122,
  kCapCheckNo = 128,
  kCapTaxpayerId = 141,
  kCapCardNo = 142,
  kCapManufacturingId = 143,
  kCapKeyPairSerialNo = 145,
  kCapIssueDate = 151,
  kCapOriginalInvoice = 152,
  kCapVoidType = 153,
  kCapReason = 154,
  kCapTaxNo = 161,
  kCapName = 162,
  kCapAddress = 163,
  kCapCountry = 166,
  kCapControlData = 171,
  kCapControlModuleId = 172,
  kCapReceiptCounter = 173,
  kCapSigningCardId = 174,
  kCapEcrProductionNo = 175,
  kCapPluHash = 176,
  kCapRecordKinds = 200,  //!< + the record kind of a payment
  kCapSignature = 207,
  kCapTip = 208,
  kCapExpenses = 209,
  kCapTax = 304,
  kCapPriceOverwrite = 307,
  kCapModifier = 308,
  kCapDepartment = 309,
  kCapGross = 501,
  kCapNet = 502,
  kCapOverflow = 513,
  kCapSales = 521,
  kCapSalesGross = 522,
  kCapTaxes = 523,
  kCapSalesNegative = 524,
  kCapSalesNet = 528,
  kCapNoTax = 571,
  kCapReportKinds = 700,  //!< + the report kind of a counter
  kCapTaxTotal = 703,
  kCapMedia = 715,
  kCapGroups = 716,
  kCapGrandTotal = 718,
  kCapTaxSingle = 727,
  kCapMediaSales = 752,
  kCapMediaChange = 753,
  kCapMediaPaidIn = 754,
  kCapMediaPaidOut = 755,
  kCapMediaDrawer = 756,
  kCapTotalSales = 761,
  kCapTotalTurnover = 762,
  kCapTotalReturns = 763,
  kCapTable = 802,
  kCapDrawer = 803,
  kCapOpenReason = 804,
};

// The journal variant whose Portuguese fields and signature are shown.
constexpr int32_t kJournalPortugal = 6;

// The order in which the report counters are shown, by report kind.
constexpr std::array<int32_t, 22> kCounterOrder = {21, 8,  22, 13, 2,  20, 11, 12, 23, 24, 25,
                                                   26, 29, 9,  10, 19, 31, 30, 28, 7,  6,  14};

constexpr std::string_view kIndent2 = "  ";
constexpr std::string_view kIndent4 = "    ";
constexpr std::string_view kIndent6 = "      ";
constexpr std::string_view kIndent10 = "          ";
constexpr std::string_view kIndent12 = "            ";
// Where the amount of a linked article ends, and the widths of a cell.
constexpr size_t kLinkWidth = 59;
constexpr size_t kCountWidth = 10;
constexpr size_t kAmountWidth = 16;

// line made to hold start alone.
tKvByteLine& Restart(tKvByteLine& line, std::string_view start) {
  line.clear();
  return line.append(start);
}

// The parts appended to text (a byte line or a string).
template <typename Text>
void Append(Text& text, std::initializer_list<std::string_view> parts) {
  for (std::string_view part : parts) text.append(part);
}

std::string Cat(std::initializer_list<std::string_view> parts) {
  std::string text;
  Append(text, parts);
  return text;
}

// IsoCode, then " (" + IsoNo + ")" when there is one, appended to line.
void AppendCurrency(tKvByteLine& line, const tFiscCurrencyRec& currency) {
  line.append(currency.IsoCode.view());
  if (currency.IsoNo > 0) Append(line, {" (", tIntText(currency.IsoNo), ")"});
}

std::string LowerAscii(std::string_view text) {
  std::string lower(text);
  for (char& c : lower) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return lower;
}

// The caption of one of the codes above, all of which the caption table
// lists; looked up once per code, when the program starts.
constexpr int32_t kCapCodeEnd = 1000;
const std::array<std::string_view, kCapCodeEnd> kCaptions = [] {
  std::array<std::string_view, kCapCodeEnd> table;
  for (int32_t c = 0; c < kCapCodeEnd; ++c) table[static_cast<size_t>(c)] = FiscCaptionText(c);
  return table;
}();
std::string_view Cap(int32_t code) {
  assert(code >= 0 && code < kCapCodeEnd && !kCaptions[static_cast<size_t>(code)].empty());
  return kCaptions[static_cast<size_t>(code)];
}

}  // namespace

tKvFiscalStreamPickerJnlView::tKvFiscalStreamPickerJnlView(
    tKvFiscalDataDestAscii* dest, std::unique_ptr<tKvFiscalStreamPicker> next, tRecordLife life)
    : tKvFiscalStreamPicker(std::move(next)), dest_(dest), life_(life) {}

tKvFiscalStreamPickerJnlView::~tKvFiscalStreamPickerJnlView() = default;

// ---- Records ---------------------------------------------------------------

void tKvFiscalStreamPickerJnlView::Header(const tFiscHeaderRec& rec) {
  Keep(header_, rec, kHeader);
  tKvFiscalStreamPicker::Header(rec);
}

void tKvFiscalStreamPickerJnlView::SaleItem(const tFiscSaleItemRec& rec) {
  content_ = true;
  AppendArticleText(NewLine(kIndent2), rec.Plu.Name.view(), rec.Plu.Number, rec.Quantity,
                    rec.Text.view());
  items_.AlignRight(tAmountText(rec.Amount));
  AddDepartmentLine(rec.Department, kIndent4);
  AddTaxLines(rec.Taxes);
  if (rec.PriceOverwrite) AddLine({kIndent4, "-> ", Cap(kCapPriceOverwrite)});
  AddModifierLines(rec.Modifiers, kIndent4);
  for (const tFiscPLULinkRec& link : links_) AddLinkLines(link);
  links_.Clear();
  tKvFiscalStreamPicker::SaleItem(rec);
}

void tKvFiscalStreamPickerJnlView::PLULink(const tFiscPLULinkRec& rec) {
  content_ = true;
  links_.Add(rec);
  tKvFiscalStreamPicker::PLULink(rec);
}

void tKvFiscalStreamPickerJnlView::Adjust(const tFiscAdjustRec& rec) {
  content_ = true;
  if (rec.Ref.Number > 0) {
    tKvByteLine& line = NewLine(kIndent2);
    AppendRefText(line, rec.Ref.Name.view(), rec.Ref.Number);
    line.append(" "sv);
    items_.AlignRight(tAmountText(rec.Amount));
    AddTaxLines(rec.Taxes);
  }
  tKvFiscalStreamPicker::Adjust(rec);
}

void tKvFiscalStreamPickerJnlView::Deposit(const tFiscDepositRec& rec) {
  content_ = true;
  if (!rec.Amount.IsZero() || !rec.Ref.Number.IsZero()) {
    AppendRefText(NewLine(kIndent2), rec.Ref.Name.view(), rec.Ref.Number);
    items_.AlignRight(tAmountText(rec.Amount));
  }
  tKvFiscalStreamPicker::Deposit(rec);
}

void tKvFiscalStreamPickerJnlView::Closing(const tFiscClosingRec& rec) {
  Keep(closing_, rec, kClosing);
  tKvFiscalStreamPicker::Closing(rec);
}

void tKvFiscalStreamPickerJnlView::Payment(const tFiscPaymentRec& rec) {
  content_ = true;
  payments_.Add(rec);
  tKvFiscalStreamPicker::Payment(rec);
}

void tKvFiscalStreamPickerJnlView::Signature(const tFiscSignatureRec& rec) {
  Keep(signature_, rec, kSignature);
  tKvFiscalStreamPicker::Signature(rec);
}

void tKvFiscalStreamPickerJnlView::ReportCounters(const tFiscReportCountersRec& rec) {
  Keep(counters_, rec, kCounters);
  tKvFiscalStreamPicker::ReportCounters(rec);
}

void tKvFiscalStreamPickerJnlView::ReportTax(const tFiscReportTaxRec& rec) {
  Keep(report_tax_, rec, kReportTax);
  tKvFiscalStreamPicker::ReportTax(rec);
}

void tKvFiscalStreamPickerJnlView::ReportMedia(const tFiscReportMediaRec& rec) {
  content_ = true;
  media_.Add(rec);
  tKvFiscalStreamPicker::ReportMedia(rec);
}

void tKvFiscalStreamPickerJnlView::ReportGroup(const tFiscReportGroupRec& rec, int32_t selector) {
  content_ = true;
  if (selector == 0 || selector == 1) groups_[selector].Add(rec);
  tKvFiscalStreamPicker::ReportGroup(rec, selector);
}

void tKvFiscalStreamPickerJnlView::Event(const tFiscEventRec& rec) {
  content_ = true;
  AddLine({kIndent2, TypeText()});
  AddLine({kIndent2, Cap(kCapEcrNo), ": ", DigitsText(Kept(header_, kHeader).EcrNo)});
  const tFiscNumTextRec& op = Kept(header_, kHeader).Operator;
  if (!op.Number.IsZero()) {
    AddLine({kIndent2, Cap(kCapOperator), ": ", RefText(op.Name.view(), op.Number)});
  }
  const tFiscNumTextRec& auth = Kept(header_, kHeader).AuthOperator;
  if (!auth.Number.IsZero()) {
    AddLine({kIndent2, Cap(kCapOperator), " (", Cap(kCapAuth),
             "): ", RefText(auth.Name.view(), auth.Number)});
  }
  if (entry_type().Kind == kEntryMasterData) {
    AddEventRefLine(kCapTable, rec.Info);
  } else if (entry_type().Kind == kEntryOpenDrawer) {
    AddEventRefLine(kCapDrawer, rec.Info);
    AddEventRefLine(kCapOpenReason, rec.Value);
  }
  tKvFiscalStreamPicker::Event(rec);
}

void tKvFiscalStreamPickerJnlView::EntryEnd() {
  if (content_) WriteEntry();
  ClearEntry();
  tKvFiscalStreamPicker::EntryEnd();
}

const std::string& tKvFiscalStreamPickerJnlView::TypeText() {
  if (!(type_text_of_ == entry_type()) || type_text_.empty()) {
    type_text_of_ = entry_type();
    type_text_ = FiscTypeText(type_text_of_);
  }
  return type_text_;
}

template <typename Rec>
void tKvFiscalStreamPickerJnlView::Keep(tKept<Rec>& kept, const Rec& rec, uint8_t bit) {
  if (life_ == tRecordLife::kUntilNextOfType) {
    kept.At = &rec;
  } else {
    kept.Copy = rec;
    kept.At = &kept.Copy;
  }
  kept_ |= bit;
  content_ = true;
}

template <typename Rec>
const Rec& tKvFiscalStreamPickerJnlView::Kept(const tKept<Rec>& kept, uint8_t bit) const {
  static const Rec empty{};
  return (kept_ & bit) != 0 ? *kept.At : empty;
}

void tKvFiscalStreamPickerJnlView::ClearEntry() {
  // The records themselves stay: they are a few kilobytes each, and read
  // through Kept, which shows an empty one for a record the entry lacks.
  kept_ = 0;
  content_ = false;
  items_.Clear();
  links_.Clear();
  payments_.Clear();
  media_.Clear();
  groups_[0].Clear();
  groups_[1].Clear();
}

// ---- Item lines ------------------------------------------------------------

tKvByteLine& tKvFiscalStreamPickerJnlView::NewLine(std::string_view indent) {
  return items_.Begin(indent);
}

void tKvFiscalStreamPickerJnlView::AddLine(std::initializer_list<std::string_view> parts) {
  Append(NewLine(""), parts);
}

void tKvFiscalStreamPickerJnlView::AddTaxLines(const tFiscItemTaxTable& taxes) {
  for (const tFiscItemTaxRec& tax : taxes) {
    if (!tax.Used) continue;
    tKvByteLine& line = NewLine(kIndent4);
    if (tax.TaxIndex < 1) {
      line.append(Cap(kCapNoTax));
    } else {
      line.append(Cap(kCapTax)).append(" "sv).append(tIntText(tax.TaxIndex));
    }
    line.append(":  "sv);
    line.append(tAmountText(tax.Amount));
  }
}

void tKvFiscalStreamPickerJnlView::AddDepartmentLine(const tFiscNumTextRec& department,
                                                     std::string_view indent) {
  if (department.Number.IsZero()) return;
  tKvByteLine& line = NewLine(indent);
  line.append(Cap(kCapDepartment)).append(": "sv);
  AppendRefText(line, department.Name.view(), department.Number);
}

void tKvFiscalStreamPickerJnlView::AddModifierLines(const tFiscPluModifierArr& modifiers,
                                                    std::string_view indent) {
  for (int32_t i = 1; i <= modifiers.Count(); ++i) {
    const tFiscModifierRec m = modifiers.Get(i);
    tKvByteLine& line = NewLine(indent);
    line.append("-> "sv).append(Cap(kCapModifier)).append(": "sv);
    AppendRefText(line, m.Modifier.Name.view(), m.Modifier.Number);
    line.append(" "sv).append(tAmountText(m.Amount));
  }
}

void tKvFiscalStreamPickerJnlView::AddLinkLines(const tFiscPLULinkRec& link) {
  AppendArticleText(NewLine(kIndent4), link.Plu.Name.view(), link.Plu.Number, link.Quantity,
                    link.Text.view());
  items_.AlignRight(tAmountText(link.Amount), kLinkWidth);
  AddDepartmentLine(link.Department, kIndent6);
  if (link.PriceOverwrite) AddLine({kIndent4, "-> ", Cap(kCapPriceOverwrite)});
  AddModifierLines(link.Modifiers, kIndent6);
}

void tKvFiscalStreamPickerJnlView::AddEventRefLine(int32_t code, const tFiscIdTextRec& ref) {
  tKvByteLine& line = NewLine(kIndent4);
  line.append(Cap(code)).append(": "sv);
  AppendRefText(line, ref.Name.view(), ref.Number);
}

// ---- The entry at its end --------------------------------------------------

void tKvFiscalStreamPickerJnlView::Put(std::string_view line) { text_.Begin(line); }

void tKvFiscalStreamPickerJnlView::Put(std::initializer_list<std::string_view> parts) {
  Append(text_.Begin(""), parts);
}

void tKvFiscalStreamPickerJnlView::PutRight(std::initializer_list<std::string_view> left,
                                            std::string_view right) {
  Put(left);
  text_.AlignRight(right);
}

tKvByteLine& tKvFiscalStreamPickerJnlView::Captioned(std::string_view indent, int32_t code) {
  return text_.Begin(indent).append(Cap(code)).append(": "sv);
}

void tKvFiscalStreamPickerJnlView::PutCaptioned(std::string_view indent, int32_t code,
                                                std::string_view text) {
  Captioned(indent, code).append(text);
}

void tKvFiscalStreamPickerJnlView::WriteEntry() {
  text_.Clear();
  if (written_) {
    Put("");
    Put("");
  }
  WriteHeader();
  if (!items_.empty()) {
    Put("");
    text_.AppendLines(items_.Close());
  }
  WriteClosing();
  WritePayments();
  WriteReports();
  WriteClosingNotes();
  dest_->WriteLines(text_.Close());
  written_ = true;
}

void tKvFiscalStreamPickerJnlView::WriteHeader() {
  const tFiscHeaderRec& h = Kept(header_, kHeader);
  tKvByteLine& line = text_.Begin(TypeText());
  if (h.DocNo > 0) line.append(" (#"sv).append(tIntText(h.DocNo)).append(")"sv);
  if (h.Training) line.append("  ("sv).append(Cap(kCapTraining)).append(")"sv);
  if (!h.DateTime.IsNull()) {
    Restart(right_, ShortDate(h.DateTime)).append("  "sv).append(LongTime(h.DateTime));
    text_.AlignRight(right_);
  }
  if (h.DateTime.IsNull()) return;
  if (entry_type().IsTransaction || entry_type().IsReport) WriteHeaderDetails();
}

void tKvFiscalStreamPickerJnlView::WriteHeaderDetails() {
  const tFiscHeaderRec& h = Kept(header_, kHeader);
  {
    tKvByteLine& ecr = Captioned(kIndent2, kCapEcrNo);
    char digits[tKvBcdFix::kNibbles];
    ecr.append(DigitsView(h.EcrNo, digits));
    if (!IsBlank(h.EcrText.view())) Append(ecr, {" (", h.EcrText.view(), ")"});
  }
  if (!h.Operator.Number.IsZero()) {
    AppendRefText(Captioned(kIndent2, kCapOperator), h.Operator.Name.view(), h.Operator.Number);
  }
  if (h.SeqNo > 0) {
    PutCaptioned(kIndent2, entry_type().IsReport ? kCapSeqNo : kCapVoucherSeqNo,
                 tIntText(h.SeqNo));
  }
  if (h.KeyPairSerialNo > 0) {
    PutCaptioned(kIndent2, kCapKeyPairSerialNo, tIntText(h.KeyPairSerialNo));
  }
  if (!IsBlank(h.ManufacturingId.view())) {
    PutCaptioned(kIndent2, kCapManufacturingId, h.ManufacturingId.view());
  }
  if (h.PluHash.Length > 0) {
    Put({kIndent2, Label30(Cap(kCapPluHash)), LowerAscii(h.PluHash.View().substr(0, 8))});
  }
  if (!h.ControlDateTime.IsNull() || !IsBlank(h.ControlModuleId.view())) {
    Put({kIndent2, Cap(kCapControlData), ":"});
    const tKvDateTime& at = h.ControlDateTime;
    Put({kIndent4, Label30(Cap(kCapDateTime)),
         at.IsNull() ? std::string() : Cat({ShortDate(at), ", ", LongTime(at)})});
    const tFiscReceiptCounterRec& counter = h.ReceiptCounter;
    if (counter.Counter > 0) {
      Put({kIndent4, Label30(Cap(kCapReceiptCounter)), tIntText(counter.Counter), "/",
           tIntText(counter.Counter2), " ", counter.Text.view()});
    }
    if (!IsBlank(h.ControlModuleId.view())) {
      Put({kIndent4, Label30(Cap(kCapControlModuleId)), h.ControlModuleId.view()});
    }
    if (!IsBlank(h.SigningCardId.view())) {
      Put({kIndent4, Label30(Cap(kCapSigningCardId)), h.SigningCardId.view()});
    }
  }
  if (!IsBlank(h.EcrProductionNo.view())) {
    Put({kIndent2, Label30(Cap(kCapEcrProductionNo)), h.EcrProductionNo.view()});
  }
  if (entry().Type == kJournalPortugal) WritePortugueseDetails();
  if (!IsBlank(h.Currency.IsoCode.view())) {
    AppendCurrency(Captioned(kIndent2, kCapCurrency), h.Currency);
  }
  if (h.FiscalReport.Number > 0) {
    PutCaptioned(
        kIndent2, kCapFiscalReport,
        Cat({h.FiscalReport.Name.view(), " (#", tIntText(h.FiscalReport.Number), ")"}));
  }
  if (!h.BookMemNo.IsZero()) {
    const std::string label =
        h.BookMemType >= 2 ? Cat({Cap(kCapBookMem), " ", tIntText(h.BookMemType)})
                           : std::string(Cap(kCapCheckNo));
    Put(PadLeft(Cat({label, ": ", DigitsText(h.BookMemNo)})));
  }
  if (h.NetBooking) Put(PadLeft(Cap(kCapNetBooking)));
}

void tKvFiscalStreamPickerJnlView::WritePortugueseDetails() {
  const tFiscHeaderRec& h = Kept(header_, kHeader);
  if (!IsBlank(h.InvoiceNo.view())) PutCaptioned(kIndent2, kCapInvoiceNo, h.InvoiceNo.view());
  if (!IsBlank(h.VoucherLink.view())) PutCaptioned(kIndent2, kCapVoucherLink, h.VoucherLink.view());
  if (!IsBlank(h.Subsequent.Text.view())) {
    PutCaptioned(kIndent2, kCapSubsequent, h.Subsequent.Text.view());
    PutCaptioned(kIndent4, kCapIssueDate, ShortDate(h.Subsequent.IssueDate));
  }
  const tFiscVoidRec& v = h.Void;
  if (!IsBlank(v.OriginalInvoice.view())) {
    PutCaptioned(kIndent2, kCapOriginalInvoice, v.OriginalInvoice.view());
    if (v.VoidType.Number != 0) {
      PutCaptioned(kIndent4, kCapVoidType, RefText(v.VoidType.Name.view(), v.VoidType.Number));
    }
    if (!IsBlank(v.Reason.view())) PutCaptioned(kIndent4, kCapReason, v.Reason.view());
  }
  const tFiscCustomerRec& c = h.Customer;
  if (!IsBlank(c.TaxNo.view())) {
    Put({kIndent2, Cap(kCapCustomer), ":"});
    PutCaptioned(kIndent4, kCapTaxNo, c.TaxNo.view());
    PutCaptioned(kIndent4, kCapName, c.Name.view());
    PutCaptioned(kIndent4, kCapAddress,
                 Cat({c.Street.view(), "; ", c.PostCode.view(), " ", c.City.view()}));
    PutCaptioned(kIndent4, kCapCountry, c.Country.view());
  }
}

void tKvFiscalStreamPickerJnlView::WriteClosing() {
  const tFiscClosingRec& c = Kept(closing_, kClosing);
  if (!c.Totals.Net.IsZero() && !c.Totals.Gross.IsZero()) {
    static const std::string rule = PadLeft("----------");
    Put(items_.empty() ? std::string_view() : std::string_view(rule));
    PutRight({kIndent10, Cap(kCapGross)}, tAmountText(c.Totals.Gross));
    PutRight({kIndent10, Cap(kCapNet)}, tAmountText(c.Totals.Net));
  }
  WriteCell({kIndent10, Cap(kCapExpenses)}, c.Expenses);
  WriteCell({kIndent10, Cap(kCapTip)}, c.Tip);
  bool separator = true;
  for (const tFiscTaxSumSlot& slot : c.TaxSums) {
    if (!slot.Used) continue;
    if (std::exchange(separator, false)) Put("");
    const tFiscTaxSumRec& t = slot.Sum;
    tKvByteLine& line = text_.Begin(kIndent10);
    if (t.TaxIndex < 1) {
      line.append(Cap(kCapNoTax));
    } else {
      line.append(Cap(kCapTax)).append(" "sv).append(tIntText(t.TaxIndex));
    }
    line.append(" ("sv);
    if (!IsBlank(t.Text.view())) line.append(t.Text.view()).append(" - "sv);
    AppendQuantityText(line, t.Rate);
    line.append("%)"sv);
    text_.AlignRight(tAmountText(t.TaxValue));
    if (!t.SalesGross.IsZero()) PutCaptioned(kIndent12, kCapSalesGross, tAmountText(t.SalesGross));
    if (!t.SalesNegative.IsZero()) {
      const std::string amount = PadLeft(tAmountText(t.SalesNegative), kAmountWidth);
      PutRight({PadLeft(Cat({"(", Cap(kCapSalesNegative), ")"}),
                        kLineWidth - std::min(kLineWidth, amount.size()))},
               amount);
    }
  }
}

void tKvFiscalStreamPickerJnlView::WriteCell(std::initializer_list<std::string_view> label,
                                             const tFiscCounterRec& cell, bool* separator) {
  if (cell.Count.IsZero() && cell.Amount.IsZero() && !cell.Flag) return;
  if (separator != nullptr && std::exchange(*separator, false)) Put("");
  const std::string right =
      Cat({PadLeft(cell.Count.IsZero() ? std::string() : QuantityText(cell.Count), kCountWidth),
           PadLeft(cell.Amount.IsZero() ? std::string() : AmountText(cell.Amount), kAmountWidth)});
  tKvByteLine& line = text_.Begin("");
  Append(line, label);
  if (cell.Flag) Append(line, {"  (", Cap(kCapOverflow), ")"});
  text_.AlignRight(right);
}

void tKvFiscalStreamPickerJnlView::WritePayments() {
  if (payments_.empty()) return;
  Put("");
  for (const tFiscPaymentRec& p : payments_) {
    tKvByteLine& line = text_.Begin(kIndent10);
    AppendRefText(line, p.Media.MediaName.view(), p.Media.MediaNo);
    if (p.Kind != kFiscTrPayment) {
      line.append(" ("sv).append(FiscCaption(kCapRecordKinds + p.Kind)).append(")"sv);
    }
    text_.AlignRight(tAmountText(p.Amount));
    if (!IsBlank(p.ForeignCurrency.IsoCode.view())) {
      AppendCurrency(Captioned(kIndent12, kCapForeignCurrency), p.ForeignCurrency);
    }
  }
}

void tKvFiscalStreamPickerJnlView::WriteReports() {
  // Records the entry did not deliver are empty and show nothing; they are
  // not even looked at, as most entries are not reports.
  const tFiscTotalsRec& gt = Kept(counters_, kCounters).GrandTotal;
  if ((kept_ & kCounters) && !gt.Sales.IsZero() && !gt.Turnover.IsZero() && !gt.Returns.IsZero()) {
    Put("");
    Put({kIndent2, Cap(kCapGrandTotal), ":"});
    Put("");
    PutRight({kIndent4, Cap(kCapTotalSales)}, tAmountText(gt.Sales));
    PutRight({kIndent4, Cap(kCapTotalTurnover)}, tAmountText(gt.Turnover));
    PutRight({kIndent4, Cap(kCapTotalReturns)}, tAmountText(gt.Returns));
  }
  if (!media_.empty()) {
    Put("");
    Put({kIndent2, Cap(kCapMedia), ":"});
    for (const tFiscReportMediaRec& m : media_) {
      Put("");
      Put({kIndent4, RefText(m.Media.Name.view(), m.Media.Number)});
      WriteCell({kIndent4, Cap(kCapMediaDrawer)}, m.Drawer.Cell);
      WriteCell({kIndent4, Cap(kCapMediaSales)}, m.Sales.Cell);
      WriteCell({kIndent4, Cap(kCapMediaChange)}, m.Change.Cell);
      WriteCell({kIndent4, Cap(kCapMediaPaidIn)}, m.PaidIn.Cell);
      WriteCell({kIndent4, Cap(kCapMediaPaidOut)}, m.PaidOut.Cell);
    }
  }
  if (kept_ & kReportTax) {
    WriteReportTaxTable(Kept(report_tax_, kReportTax).TaxSingle, kCapTaxSingle);
    WriteReportTaxTable(Kept(report_tax_, kReportTax).TaxTotal, kCapTaxTotal);
  }
  WriteGroups(groups_[0], " A:");
  WriteGroups(groups_[1], " B:");
  if (!(kept_ & kCounters)) return;
  bool separator = true;
  for (int32_t kind : kCounterOrder) {
    const tFiscCounterSlot& slot =
        Kept(counters_, kCounters).Slots[static_cast<size_t>(FiscReportCounterSlot(kind))];
    WriteCell({kIndent2, Cap(kCapReportKinds + kind)}, slot.Cell, &separator);
  }
}

void tKvFiscalStreamPickerJnlView::WriteReportTaxTable(const tFiscTaxSumTable& table,
                                                       int32_t labelCode) {
  bool first = true;
  for (const tFiscTaxSumSlot& slot : table) {
    if (!slot.Used) continue;
    if (std::exchange(first, false)) {
      Put("");
      Put({kIndent2, Cap(labelCode), ":"});
    }
    const tFiscTaxSumRec& t = slot.Sum;
    Put("");
    Put({kIndent4, Cap(kCapSales), " ", Cap(kCapTax), " ", tIntText(t.TaxIndex), " (",
         QuantityText(t.Rate), "%)"});
    const std::pair<int32_t, const tKvBcd*> values[] = {{kCapSalesGross, &t.SalesGross},
                                                        {kCapSalesNet, &t.SalesNet},
                                                        {kCapTaxes, &t.TaxValue},
                                                        {kCapSalesNegative, &t.SalesNegative}};
    for (const auto& [code, value] : values) {
      if (!value->IsZero()) PutRight({kIndent4, Cap(code)}, tAmountText(*value));
    }
  }
}

void tKvFiscalStreamPickerJnlView::WriteGroups(const tReusedList<tFiscReportGroupRec>& groups,
                                               std::string_view suffix) {
  if (groups.empty()) return;
  Put("");
  Put({kIndent2, Cap(kCapGroups), suffix});
  Put("");
  for (const tFiscReportGroupRec& g : groups) {
    WriteCell({kIndent4, RefText(g.Group.Name.view(), g.Group.Number)}, g.Cell);
  }
}

void tKvFiscalStreamPickerJnlView::WriteClosingNotes() {
  const tFiscHeaderRec& h = Kept(header_, kHeader);
  if (h.CardNo > 0) {
    Put("");
    PutCaptioned(kIndent2, kCapTaxpayerId, h.TaxpayerId.view());
    // The card line stands at the left margin, unlike the captioned lines.
    Put({"(", Cap(kCapCardNo), ": ", tIntText(h.CardNo), ")"});
  }
  const tFiscSignatureRec& signature = Kept(signature_, kSignature);
  if (signature.Length > 0) {
    Put("");
    if (entry().Type == kJournalPortugal) {
      PutCaptioned(kIndent2, kCapSignature, PortugueseSignatureText(signature.View()));
    } else {
      PutCaptioned(kIndent2, kCapSignature, signature.View());
    }
  }
  if (entry_type().IsReport) {
    if (h.FirstVoucherSeqNo > 0) {
      PutCaptioned(kIndent2, kCapFirstVoucher, tIntText(h.FirstVoucherSeqNo));
    }
    if (h.LastVoucherSeqNo > 0) {
      PutCaptioned(kIndent2, kCapLastVoucher, tIntText(h.LastVoucherSeqNo));
    }
  }
}
