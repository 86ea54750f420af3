#include "idea/FiscalStreamEvalRcpInvDetail.h"

#include <string_view>
#include <utility>

#include "idea/IdeaColumns.h"

namespace {

using C = tIdeaColumn;
using namespace idea_columns;
constexpr auto kColumns = std::to_array<tIdeaColumn>({
    kDocKeyLink,
    kRecNo,
    {"REC_NO_LINK", false, C::kNumeric, 0, "Artikellink"},
    {"REC_TYPE", false, C::kAlphaNumeric, 0, "Datensatztyp", kRecTypeMap},
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
    Flag("OVERWRITE", "Preisüberschreibung"),
    {"TTL_MOD", false, C::kNumeric, 2, "Summe Modifier"},
    Flag("VOID", "Storno"),
    kEcrNo,
});
consteval int32_t Col(std::string_view name) { return ColumnIndex(kColumns, name); }

// The other transactions' file carries the booking memory's description,
// as the index has always declared it.
constexpr std::array<tIdeaCategoryFile, 3> kFiles = {{
    {"TransactDetail.csv", "Transaktions-Details"},
    {"BookMemDetail.csv", "Transaktions-Details (Buchungsspeicher)"},
    {"MiscTransDetail.csv", "Transaktions-Details (Buchungsspeicher)"},
}};

// The tax slots and their columns, in column order.
constexpr std::array<std::pair<size_t, int32_t>, 5> kTaxColumns = {{
    {1, Col("TAX_1_TTL")},
    {2, Col("TAX_2_TTL")},
    {3, Col("TAX_3_TTL")},
    {4, Col("TAX_4_TTL")},
    {0, Col("TAX_0_TTL")},
}};

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
  Keys().AppendKey(csv.Field(Col("DOC_KEY_LINK")), CategoryCounter());
  AppendInt(csv.Field(Col("REC_NO")), RecNo);
  return csv;
}

void tFiscalStreamEvalRcpInvDetail::EndLine(tFileHdlCSV& csv) {
  FmtEcrNo(csv.Field(Col("ECR_NO")));
  csv.EndLine(static_cast<int32_t>(kColumns.size()));
  csv.HasData = true;
}

void tFiscalStreamEvalRcpInvDetail::WriteTaxes(tFileHdlCSV& csv, const tFiscItemTaxTable& taxes) {
  for (const auto& [slot, column] : kTaxColumns) FmtFloat(csv.Field(column), taxes[slot].Amount);
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
    FmtInt(csv.Field(Col("REC_TYPE")), rec.Kind);
    FmtBcdFix(csv.Field(Col("BASE_NO")), rec.Plu.Number);
    QuotedName(csv.Field(Col("BASE_NAME")), rec.Plu.Name.view());
    FmtBcd(csv.Field(Col("QUANTITY")), rec.Quantity);
    FmtFloat(csv.Field(Col("AMOUNT")), rec.Amount);
    WriteTaxes(csv, rec.Taxes);
    FmtInt(csv.Field(Col("OVERWRITE")), rec.PriceOverwrite ? 1 : 0);
    FmtBcd(csv.Field(Col("TTL_MOD")), ModifierSum(rec.Modifiers));
    FmtInt(csv.Field(Col("VOID")), rec.Quantity.IsNegative() ? 1 : 0);
    EndLine(csv);
    for (size_t i = 0; i < LinkCount; ++i) {
      const tFiscPLULinkRec& link = Links[i];
      tFileHdlCSV& linkCsv = StartLine();
      AppendInt(linkCsv.Field(Col("REC_NO_LINK")), itemRecNo);
      AppendInt(linkCsv.Field(Col("REC_TYPE")), rec.Kind);
      FmtBcdFix(linkCsv.Field(Col("BASE_NO")), link.Plu.Number);
      QuotedName(linkCsv.Field(Col("BASE_NAME")), link.Plu.Name.view());
      FmtBcd(linkCsv.Field(Col("QUANTITY")), link.Quantity);
      FmtFloat(linkCsv.Field(Col("AMOUNT_LINK")), link.Amount);
      FmtInt(linkCsv.Field(Col("OVERWRITE")), link.PriceOverwrite ? 1 : 0);
      FmtBcd(linkCsv.Field(Col("TTL_MOD")), ModifierSum(link.Modifiers));
      FmtInt(linkCsv.Field(Col("VOID")), link.Quantity.IsNegative() ? 1 : 0);
      EndLine(linkCsv);
    }
  }
  LinkCount = 0;
}

void tFiscalStreamEvalRcpInvDetail::Adjust(const tFiscAdjustRec& rec) {
  tFiscalStreamPickerIDEA::Adjust(rec);
  if (SkipEntry) return;
  tFileHdlCSV& csv = StartLine();
  AppendInt(csv.Field(Col("REC_TYPE")), rec.Kind);
  AppendInt(csv.Field(Col("BASE_NO")), rec.Ref.Number);
  QuotedName(csv.Field(Col("BASE_NAME")), rec.Ref.Name.view());
  csv.AddField("1", Col("QUANTITY"));
  FmtFloat(csv.Field(Col("AMOUNT")), rec.Amount);
  WriteTaxes(csv, rec.Taxes);
  FmtInt(csv.Field(Col("VOID")), rec.Flag ? 1 : 0);
  EndLine(csv);
}

void tFiscalStreamEvalRcpInvDetail::Deposit(const tFiscDepositRec& rec) {
  tFiscalStreamPickerIDEA::Deposit(rec);
  if (SkipEntry) return;
  tFileHdlCSV& csv = StartLine();
  AppendInt(csv.Field(Col("REC_TYPE")), rec.Kind);
  FmtBcdFix(csv.Field(Col("BASE_NO")), rec.Ref.Number);
  QuotedName(csv.Field(Col("BASE_NAME")), rec.Ref.Name.view());
  csv.AddField("1", Col("QUANTITY"));
  FmtFloat(csv.Field(Col("AMOUNT")), rec.Amount);
  EndLine(csv);
}
