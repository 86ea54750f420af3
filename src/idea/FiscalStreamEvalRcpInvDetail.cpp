#include "idea/FiscalStreamEvalRcpInvDetail.h"

#include <string_view>
#include <utility>

#include "idea/IdeaColumns.h"

namespace {

using C = tIdeaColumn;
using namespace idea_columns;
constexpr std::array<tIdeaColumn, 18> kColumns = {{
    kDocKeyLink,
    kRecNo,
    {"REC_NO_LINK", false, C::kNumeric, 0, "Artikellink"},
    {"REC_TYPE", false, C::kAlphaNumeric, 0, "Datensatztyp"},
    {"BASE_NO", false, C::kNumeric, 0, "Stammdatennummer"},
    {"BASE_NAME", false, C::kAlphaNumeric, 0, "Stammdatenname"},
    {"QUANTITY", false, C::kNumeric, 3, "Anzahl"},
    {"AMOUNT", false, C::kNumeric, 2, "Betrag"},
    {"AMOUNT_LINK", false, C::kNumeric, 2, "Betrag (Artikellink)"},
    {"TAX_1_TTL", false, C::kNumeric, 2, "Steuer 1 Umsatz"},
    {"TAX_2_TTL", false, C::kNumeric, 2, "Steuer 2 Umsatz"},
    {"TAX_3_TTL", false, C::kNumeric, 2, "Steuer 3 Umsatz"},
    {"TAX_4_TTL", false, C::kNumeric, 2, "Steuer 4 Umsatz"},
    {"TAX_0_TTL", false, C::kNumeric, 2, "Umsatz ohne Steuer"},
    {"OVERWRITE", false, C::kFlag, 0, "Preisüberschreibung"},
    {"TTL_MOD", false, C::kNumeric, 2, "Summe Modifier"},
    {"VOID", false, C::kFlag, 0, "Storno"},
    kEcrNo,
}};

// The other transactions' file carries the booking memory's description,
// as the index has always declared it.
constexpr std::array<tIdeaCategoryFile, 3> kFiles = {{
    {"TransactDetail.csv", "Transaktions-Details"},
    {"BookMemDetail.csv", "Transaktions-Details (Buchungsspeicher)"},
    {"MiscTransDetail.csv", "Transaktions-Details (Buchungsspeicher)"},
}};

// Tax slots in column order (10 to 14): 1 to 4, then 0.
constexpr std::array<size_t, 5> kTaxSlotOrder = {1, 2, 3, 4, 0};

tKvBcd ModifierSum(const tFiscPluModifierArr& modifiers) {
  tKvBcd sum;
  for (int32_t i = 1; i <= modifiers.Count(); ++i) sum += modifiers.Get(i).Amount;
  return sum;
}

}  // namespace

tFiscalStreamEvalRcpInvDetail::tFiscalStreamEvalRcpInvDetail(
    tIdeaContext& context, std::unique_ptr<tKvFiscalStreamPicker> next)
    : tFiscalStreamPickerIDEA(context, std::move(next)),
      CsvFiles(AddCategoryFiles(kFiles, kColumns)) {}

void tFiscalStreamEvalRcpInvDetail::Header(const tFiscHeaderRec& rec) {
  tFiscalStreamPickerIDEA::Header(rec);
  SkipEntry = !entry_type().IsTransaction;
  RecNo = 0;
}

tFileHdlCSV& tFiscalStreamEvalRcpInvDetail::StartLine() {
  tFileHdlCSV& csv = CategoryFile(CsvFiles);
  ++RecNo;
  Keys().AppendKey(csv.Field(1), CategoryCounter());
  AppendInt(csv.Field(2), RecNo);
  return csv;
}

void tFiscalStreamEvalRcpInvDetail::EndLine(tFileHdlCSV& csv) {
  FmtEcrNo(csv.Field(18));
  csv.EndLine(static_cast<int32_t>(kColumns.size()));
  csv.HasData = true;
}

void tFiscalStreamEvalRcpInvDetail::WriteTaxes(tFileHdlCSV& csv, const tFiscItemTaxTable& taxes) {
  int32_t column = 10;
  for (size_t slot : kTaxSlotOrder) FmtFloat(csv.Field(column++), taxes[slot].Amount);
}

void tFiscalStreamEvalRcpInvDetail::PLULink(const tFiscPLULinkRec& rec) {
  tFiscalStreamPickerIDEA::PLULink(rec);
  if (SkipEntry) return;
  if (LinkCount < Links.size()) {
    Links[LinkCount] = rec;
  } else {
    Links.push_back(rec);
  }
  ++LinkCount;
}

void tFiscalStreamEvalRcpInvDetail::SaleItem(const tFiscSaleItemRec& rec) {
  tFiscalStreamPickerIDEA::SaleItem(rec);
  if (SkipEntry) return;
  if (!rec.Plu.Number.IsZero()) {
    tFileHdlCSV& csv = StartLine();
    const int32_t itemRecNo = RecNo;
    FmtInt(csv.Field(4), rec.Kind);
    FmtBcdFix(csv.Field(5), rec.Plu.Number);
    QuotedName(csv.Field(6), rec.Plu.Name.view());
    FmtBcd(csv.Field(7), rec.Quantity);
    FmtFloat(csv.Field(8), rec.Amount);
    WriteTaxes(csv, rec.Taxes);
    FmtInt(csv.Field(15), rec.PriceOverwrite ? 1 : 0);
    FmtBcd(csv.Field(16), ModifierSum(rec.Modifiers));
    FmtInt(csv.Field(17), rec.Quantity.IsNegative() ? 1 : 0);
    EndLine(csv);
    for (size_t i = 0; i < LinkCount; ++i) {
      const tFiscPLULinkRec& link = Links[i];
      tFileHdlCSV& linkCsv = StartLine();
      AppendInt(linkCsv.Field(3), itemRecNo);
      AppendInt(linkCsv.Field(4), rec.Kind);
      FmtBcdFix(linkCsv.Field(5), link.Plu.Number);
      QuotedName(linkCsv.Field(6), link.Plu.Name.view());
      FmtBcd(linkCsv.Field(7), link.Quantity);
      FmtFloat(linkCsv.Field(9), link.Amount);
      FmtInt(linkCsv.Field(15), link.PriceOverwrite ? 1 : 0);
      FmtBcd(linkCsv.Field(16), ModifierSum(link.Modifiers));
      FmtInt(linkCsv.Field(17), link.Quantity.IsNegative() ? 1 : 0);
      EndLine(linkCsv);
    }
  }
  LinkCount = 0;
}

void tFiscalStreamEvalRcpInvDetail::Adjust(const tFiscAdjustRec& rec) {
  tFiscalStreamPickerIDEA::Adjust(rec);
  if (SkipEntry) return;
  tFileHdlCSV& csv = StartLine();
  AppendInt(csv.Field(4), rec.Kind);
  AppendInt(csv.Field(5), rec.Ref.Number);
  QuotedName(csv.Field(6), rec.Ref.Name.view());
  csv.AddField("1", 7);
  FmtFloat(csv.Field(8), rec.Amount);
  WriteTaxes(csv, rec.Taxes);
  FmtInt(csv.Field(17), rec.Flag ? 1 : 0);
  EndLine(csv);
}

void tFiscalStreamEvalRcpInvDetail::Deposit(const tFiscDepositRec& rec) {
  tFiscalStreamPickerIDEA::Deposit(rec);
  if (SkipEntry) return;
  tFileHdlCSV& csv = StartLine();
  AppendInt(csv.Field(4), rec.Kind);
  FmtBcdFix(csv.Field(5), rec.Ref.Number);
  QuotedName(csv.Field(6), rec.Ref.Name.view());
  csv.AddField("1", 7);
  FmtFloat(csv.Field(8), rec.Amount);
  EndLine(csv);
}
