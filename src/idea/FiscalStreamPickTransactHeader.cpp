#include "idea/FiscalStreamPickTransactHeader.h"

#include <string>
#include <utility>

#include "base/KvLog.h"

#include "idea/IdeaColumns.h"

namespace {

using C = tIdeaColumn;
using namespace idea_columns;

// The four columns of one tax slot.
#define JORVEX_TAX_COLUMNS(n, total, negative, value)                        \
  {"TAX_" #n "_RATE", false, C::kNumeric, 2, "Steuersatz " #n},              \
      {"TAX_" #n "_TTL", false, C::kNumeric, 2, total},                      \
      {"TAX_" #n "_TTL_NEG", false, C::kNumeric, 2, negative},               \
      {"TAX_" #n "_VAL", false, C::kNumeric, 2, value}

constexpr auto kColumns = std::to_array<tIdeaColumn>({
    kKey("DOC_KEY"),
    kEcrNo,
    kDocDate,
    kDocTime,
    kDocNo,
    kDocType,
    kDocSource,
    {"SEQ_NO", false, C::kNumeric, 0, "Sequenznummer (Beleg)"},
    kClerkNo,
    kClerkName,
    Flag("TRAIN_MODE", "Trainingsmodus"),
    kCurrIsoCode,
    kCurrIsoNo,
    kSalesExclVat,
    {"BOOK_MEM_TYPE", false, C::kNumeric, 0, "Buchungsspeichertyp"},
    {"BOOK_MEM_NO", false, C::kNumeric, 0, "Buchungsspeichernummer"},
    {"TTL_VAT_INCL", false, C::kNumeric, 2, "Summe brutto"},
    {"TTL_VAT_EXCL", false, C::kNumeric, 2, "Summe netto"},
    {"TTL_EXPENSES", false, C::kNumeric, 2, "Summe Auslagen/Agenturumsatz"},
    {"TTL_TIP", false, C::kNumeric, 2, "Summe Trinkgeld"},
    {"TTL_DECL", false, C::kNumeric, 2, "Summe Abrechnung (Ist)"},
    {"TTL_DIFF", false, C::kNumeric, 2, "Summe Abrechnung (Diff.)"},
    {"TTL_DRAWER", false, C::kNumeric, 2, "Summe Abrechnung (Soll)"},
    {"TTL_PETTYCASH", false, C::kNumeric, 2, "Summe Wechselgeld-Bestand"},
    JORVEX_TAX_COLUMNS(1, "Steuer 1 Umsatz", "Steuer 1 Umsatz (negativ)", "Steuer 1 Betrag"),
    JORVEX_TAX_COLUMNS(2, "Steuer 2 Umsatz", "Steuer 2 Umsatz (negativ)", "Steuer 2 Betrag"),
    JORVEX_TAX_COLUMNS(3, "Steuer 3 Umsatz", "Steuer 3 Umsatz (negativ)", "Steuer 3 Betrag"),
    JORVEX_TAX_COLUMNS(4, "Steuer 4 Umsatz", "Steuer 4 Umsatz (negativ)", "Steuer 4 Betrag"),
    JORVEX_TAX_COLUMNS(0, "ohne Steuer (Umsatz)", "ohne Steuer (Umsatz negativ)",
                       "ohne Steuer (Betrag)"),
    kBlkKeyLink,
    kRegKeyLink,
    kRegStartDate,
});
#undef JORVEX_TAX_COLUMNS

consteval int32_t Col(std::string_view name) { return ColumnIndex(kColumns, name); }

// The columns of the tax slots, indexed by slot (0 to 4), in writing order.
struct tTaxColumns {
  size_t Slot;
  int32_t Rate, Total, Negative, Value;
};
constexpr std::array<tTaxColumns, 5> kTaxColumns = {{
    {1, Col("TAX_1_RATE"), Col("TAX_1_TTL"), Col("TAX_1_TTL_NEG"), Col("TAX_1_VAL")},
    {2, Col("TAX_2_RATE"), Col("TAX_2_TTL"), Col("TAX_2_TTL_NEG"), Col("TAX_2_VAL")},
    {3, Col("TAX_3_RATE"), Col("TAX_3_TTL"), Col("TAX_3_TTL_NEG"), Col("TAX_3_VAL")},
    {4, Col("TAX_4_RATE"), Col("TAX_4_TTL"), Col("TAX_4_TTL_NEG"), Col("TAX_4_VAL")},
    {0, Col("TAX_0_RATE"), Col("TAX_0_TTL"), Col("TAX_0_TTL_NEG"), Col("TAX_0_VAL")},
}};
constexpr tIdeaDocColumns kDocColumns = DocColumns(kColumns);

constexpr std::array<tIdeaCategoryFile, 3> kFiles = {{
    {"TransactHead.csv", "Transaktions-Header", 0},
    {"BookMemHead.csv", "Transaktions-Header (Buchungsspeicher)", Col("SEQ_NO")},
    {"MiscTransHead.csv", "Transaktions-Header (sonstige Transaktionen)", 0},
}};

}  // namespace

tFiscalStreamPickTransactHeader::tFiscalStreamPickTransactHeader(
    tIdeaContext& context, std::unique_ptr<tKvFiscalStreamPicker> next)
    : tFiscalStreamPickerIDEA(context, std::move(next)),
      CsvFiles(AddCategoryFiles(kFiles, kColumns)) {}

bool tFiscalStreamPickTransactHeader::IsSequenced(const tFiscHeaderRec& rec) const {
  const tKvKPosFiscalType& type = entry_type();
  if (type.IsBookingMemory) return false;
  return !((type.Kind == kEntryPaidInOut || type.Kind == kEntryMediaMove) && rec.SeqNo == 0);
}

void tFiscalStreamPickTransactHeader::Header(const tFiscHeaderRec& rec) {
  tFiscalStreamPickerIDEA::Header(rec);
  SkipEntry = !entry_type().IsTransaction;
  if (SkipEntry) return;
  LogEntryLine();
  if (IsSequenced(rec)) {
    const bool continues = SeqRestart || LastSeqNo == 0 || IdeaSeqFollows(LastSeqNo, rec.SeqNo);
    if (!continues) {
      Log().Add("=> Sequenznummern nicht fortlaufend (Trans.): " + std::to_string(LastSeqNo) +
                    "/" + std::to_string(rec.SeqNo),
                tKvLog::kError);
    }
    SeqRestart = false;
  }
  Keys().Increment(CategoryCounter());
}

void tFiscalStreamPickTransactHeader::Closing(const tFiscClosingRec& rec) {
  tFiscalStreamPickerIDEA::Closing(rec);
  if (SkipEntry) return;
  EntryClosing = rec;
  HasClosing = true;
}

void tFiscalStreamPickTransactHeader::EntryEnd() {
  // Only an entry that delivered its header counts: one without (its
  // fields were dropped) has no key and would otherwise reset the sequence
  // to 0. The detail and payment lines link to the line by its key, so a
  // header without a date is still written.
  if (!SkipEntry) {
    const tFiscHeaderRec& h = CurHeader();
    WriteLine(CategoryFile(CsvFiles), CategoryCounter());
    if (IsSequenced(h)) LastSeqNo = h.SeqNo;
  }
  HasClosing = false;  // EntryClosing is read only while set
  tFiscalStreamPickerIDEA::EntryEnd();
}

void tFiscalStreamPickTransactHeader::WriteLine(tFileHdlCSV& csv, int counter) {
  static const tFiscClosingRec kNoClosing;
  const tFiscHeaderRec& h = CurHeader();
  const tFiscClosingRec& c = HasClosing ? EntryClosing : kNoClosing;
  Keys().AppendKey(csv.Field(Col("DOC_KEY")), counter);
  WriteDocumentFields(csv, kDocColumns);
  FmtInt(csv.Field(Col("SEQ_NO")), h.SeqNo);
  FmtBcdFix(csv.Field(Col("CLERK_NO")), h.Operator.Number);
  QuotedName(csv.Field(Col("CLERK_NAME")), h.Operator.Name.view());
  FmtInt(csv.Field(Col("TRAIN_MODE")), h.Training ? 1 : 0);
  WriteCurrencyFields(csv, kDocColumns);
  FmtInt(csv.Field(Col("BOOK_MEM_TYPE")),
         h.BookMemType != 0 ? h.BookMemType : (h.BookMemNo.IsZero() ? 0 : 1));
  FmtBcdFix(csv.Field(Col("BOOK_MEM_NO")), h.BookMemNo);
  FmtFloat(csv.Field(Col("TTL_VAT_INCL")), c.Totals.Gross);
  FmtFloat(csv.Field(Col("TTL_VAT_EXCL")), c.Totals.Net);
  FmtFloat(csv.Field(Col("TTL_EXPENSES")), c.Expenses.Amount);
  FmtFloat(csv.Field(Col("TTL_TIP")), c.Tip.Amount);
  FmtFloat(csv.Field(Col("TTL_DECL")), c.Declared.Amount);
  FmtFloat(csv.Field(Col("TTL_DIFF")), c.Difference.Amount);
  FmtFloat(csv.Field(Col("TTL_DRAWER")), c.Drawer.Amount);
  FmtFloat(csv.Field(Col("TTL_PETTYCASH")), c.PettyCash.Amount);
  for (const tTaxColumns& at : kTaxColumns) {
    const tFiscTaxSumRec& sum = c.TaxSums[at.Slot].Sum;
    FmtBcd(csv.Field(at.Rate), sum.Rate);
    FmtFloat(csv.Field(at.Total), sum.SalesGross);
    FmtFloat(csv.Field(at.Negative), sum.SalesNegative);
    FmtFloat(csv.Field(at.Value), sum.TaxValue);
  }
  Keys().AppendKey(csv.Field(Col("BLK_KEY_LINK")), tDocumentKeyHandler::kBlock);
  Keys().AppendKey(csv.Field(Col("REG_KEY_LINK")), tDocumentKeyHandler::kRegister);
  WriteDate(csv, Col("REG_START_DATE"), RegStart());
  csv.EndLine(static_cast<int32_t>(kColumns.size()));
  csv.HasData = true;
}

void tFiscalStreamPickTransactHeader::BlockStart(const tKvKPosBlockInfoRec& block) {
  tFiscalStreamPickerIDEA::BlockStart(block);
  SeqRestart = !IdeaBlockContinues(PrevBlock(), block);
  if (SeqRestart) LastSeqNo = 0;
}
