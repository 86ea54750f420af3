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

constexpr std::array<tIdeaColumn, 47> kColumns = {{
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
    {"TRAIN_MODE", false, C::kFlag, 0, "Trainingsmodus"},
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
}};
#undef JORVEX_TAX_COLUMNS

// The tax slots in column order: 1 to 4, then 0.
constexpr std::array<size_t, 5> kTaxSlotOrder = {1, 2, 3, 4, 0};
constexpr int32_t kFirstTaxColumn = 25;
// The booking-memory file declares SEQ_NO as NOT_USED_8.
constexpr int32_t kSeqNoColumn = 8;

constexpr std::array<tIdeaCategoryFile, 3> kFiles = {{
    {"TransactHead.csv", "Transaktions-Header", 0},
    {"BookMemHead.csv", "Transaktions-Header (Buchungsspeicher)", kSeqNoColumn},
    {"MiscTransHead.csv", "Transaktions-Header (sonstige Transaktionen)", 0},
}};

bool IsBookingMemory(int kind) { return kind == 6 || kind == 7; }

}  // namespace

tFiscalStreamPickTransactHeader::tFiscalStreamPickTransactHeader(
    tIdeaContext& context, std::unique_ptr<tKvFiscalStreamPicker> next)
    : tFiscalStreamPickerIDEA(context, std::move(next)),
      CsvFiles(AddCategoryFiles(kFiles, kColumns)) {}

bool tFiscalStreamPickTransactHeader::IsSequenced(const tFiscHeaderRec& rec) const {
  const int kind = entry_type().Kind;
  if (IsBookingMemory(kind)) return false;
  return !((kind == 11 || kind == 12) && rec.SeqNo == 0);
}

void tFiscalStreamPickTransactHeader::Header(const tFiscHeaderRec& rec) {
  tFiscalStreamPickerIDEA::Header(rec);
  SkipEntry = !entry_type().IsTransaction;
  if (SkipEntry) return;
  LogEntryLine();
  if (IsSequenced(rec)) {
    const bool continues = SeqRestart || LastSeqNo == 0 || rec.SeqNo == LastSeqNo + 1;
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
  // fields were dropped) would otherwise reset the sequence to 0.
  if (entry_type().IsTransaction && !SkipEntry && HasHeader()) {
    const tFiscHeaderRec& h = CurHeader();
    if (!h.DateTime.IsNull()) {
      WriteLine(CategoryFile(CsvFiles), CategoryCounter());
    }
    if (IsSequenced(h)) LastSeqNo = h.SeqNo;
  }
  if (HasClosing) {
    EntryClosing = tFiscClosingRec();
    HasClosing = false;
  }
  tFiscalStreamPickerIDEA::EntryEnd();
}

void tFiscalStreamPickTransactHeader::WriteLine(tFileHdlCSV& csv, int counter) {
  static const tFiscClosingRec kNoClosing;
  const tFiscHeaderRec& h = CurHeader();
  const tFiscClosingRec& c = HasClosing ? EntryClosing : kNoClosing;
  Keys().AppendKey(csv.Field(1), counter);
  FmtEcrNo(csv.Field(2));
  FmtDate(csv.Field(3), h.DateTime);
  AppendLongTime(csv.Field(4), h.DateTime);
  FmtInt(csv.Field(5), h.DocNo);
  AppendInt(csv.Field(6), entry_type().Code);
  csv.AddField(OriginName(), 7);
  FmtInt(csv.Field(8), h.SeqNo);
  FmtBcdFix(csv.Field(9), h.Operator.Number);
  QuotedName(csv.Field(10), h.Operator.Name.view());
  FmtInt(csv.Field(11), h.Training ? 1 : 0);
  FmtText(csv.Field(12), h.Currency.IsoCode.view());
  FmtInt(csv.Field(13), h.Currency.IsoNo);
  FmtInt(csv.Field(14), h.NetBooking ? 1 : 0);
  FmtInt(csv.Field(15), h.BookMemType != 0 ? h.BookMemType : (h.BookMemNo.IsZero() ? 0 : 1));
  FmtBcdFix(csv.Field(16), h.BookMemNo);
  FmtFloat(csv.Field(17), c.Totals.Gross);
  FmtFloat(csv.Field(18), c.Totals.Net);
  FmtFloat(csv.Field(19), c.Expenses.Amount);
  FmtFloat(csv.Field(20), c.Tip.Amount);
  FmtFloat(csv.Field(21), c.Declared.Amount);
  FmtFloat(csv.Field(22), c.Difference.Amount);
  FmtFloat(csv.Field(23), c.Drawer.Amount);
  FmtFloat(csv.Field(24), c.PettyCash.Amount);
  int32_t column = kFirstTaxColumn;
  for (size_t slot : kTaxSlotOrder) {
    const tFiscTaxSumRec& sum = c.TaxSums[slot].Sum;
    FmtBcd(csv.Field(column++), sum.Rate);
    FmtFloat(csv.Field(column++), sum.SalesGross);
    FmtFloat(csv.Field(column++), sum.SalesNegative);
    FmtFloat(csv.Field(column++), sum.TaxValue);
  }
  Keys().AppendKey(csv.Field(45), tDocumentKeyHandler::kBlock);
  Keys().AppendKey(csv.Field(46), tDocumentKeyHandler::kRegister);
  FmtDate(csv.Field(47), RegStart());
  csv.EndLine(static_cast<int32_t>(kColumns.size()));
  csv.HasData = true;
}

void tFiscalStreamPickTransactHeader::BlockStart(const tKvKPosBlockInfoRec& block) {
  tFiscalStreamPickerIDEA::BlockStart(block);
  SeqRestart = !IdeaBlockContinues(PrevBlock(), block);
  if (SeqRestart) LastSeqNo = 0;
}
