#include "idea/FiscalStreamEvalReports.h"

#include <array>
#include <string_view>
#include <utility>

#include "idea/IdeaColumns.h"

namespace {

using C = tIdeaColumn;
using namespace idea_columns;
constexpr auto kColumns = std::to_array<tIdeaColumn>({
    {"REG_KEY_LINK", true, C::kNumeric, 0, "Verweis: Reg.-Schlüssel"},
    kRecNo,
    {"REP_TYPE", false, C::kAlphaNumeric, 0, "Berichtstyp", kRepTypeMap},
    {"BASE_NO", false, C::kNumeric, 0, "Stammdatennummer"},
    {"TAX_RATE", false, C::kNumeric, 2, "Steuersatz"},
    Flag("TAX_RATE_CHG", "Steuersatz geändert"),
    {"VALUE", false, C::kNumeric, 2, "Wert"},
    {"TOTAL", false, C::kNumeric, 2, "Umsatz"},
    // Declared as a flag, though its lines carry the negative sales amount.
    Flag("TOTAL_NEG", "Negativer Umsatz"),
    {"CNT", false, C::kNumeric, 0, "Zähler"},
    Flag("OVERFLOW", "Umsatzüberlauf"),
    kEcrNo,
    kRegStartDate,
});
consteval int32_t Col(std::string_view name) { return ColumnIndex(kColumns, name); }

constexpr int32_t kTaxTotalKind = 3;
constexpr int32_t kTaxSingleKind = 27;

}  // namespace

tFiscalStreamEvalReports::tFiscalStreamEvalReports(tIdeaContext& context,
                                                   std::unique_ptr<tKvFiscalStreamPicker> next)
    : tFiscalStreamPickerIDEA(context, std::move(next)),
      CsvFile(AddTableFile("Report.csv", "Kassenberichte", kColumns)) {}

void tFiscalStreamEvalReports::Header(const tFiscHeaderRec& rec) {
  tFiscalStreamPickerIDEA::Header(rec);
  SkipEntry = !entry_type().IsReport;
  RecNo = 0;
}

void tFiscalStreamEvalReports::StartLine(int32_t reportKind) {
  ++RecNo;
  Keys().AppendKey(CsvFile.Field(Col("REG_KEY_LINK")), tDocumentKeyHandler::kRegister);
  AppendInt(CsvFile.Field(Col("REC_NO")), RecNo);
  AppendInt(CsvFile.Field(Col("REP_TYPE")), reportKind);
}

void tFiscalStreamEvalReports::EndLine() {
  FmtEcrNo(CsvFile.Field(Col("ECR_NO")));
  WriteDate(CsvFile, Col("REG_START_DATE"), RegStart());
  CsvFile.EndLine(static_cast<int32_t>(kColumns.size()));
  CsvFile.HasData = true;
}

void tFiscalStreamEvalReports::ReportCounters(const tFiscReportCountersRec& rec) {
  tFiscalStreamPickerIDEA::ReportCounters(rec);
  if (SkipEntry) return;
  for (const tFiscCounterSlot& slot : rec.Slots) {
    if (!slot.Used) continue;
    StartLine(slot.Kind);
    FmtFloat(CsvFile.Field(Col("VALUE")), slot.Cell.Amount);
    FmtBcd(CsvFile.Field(Col("CNT")), slot.Cell.Count);
    FmtInt(CsvFile.Field(Col("OVERFLOW")), slot.Cell.Flag ? 1 : 0);
    EndLine();
  }
}

void tFiscalStreamEvalReports::ReportTax(const tFiscReportTaxRec& rec) {
  tFiscalStreamPickerIDEA::ReportTax(rec);
  if (SkipEntry) return;
  WriteTaxTable(rec.TaxTotal, kTaxTotalKind);
  WriteTaxTable(rec.TaxSingle, kTaxSingleKind);
}

void tFiscalStreamEvalReports::WriteTaxTable(const tFiscTaxSumTable& table, int32_t reportKind) {
  for (const tFiscTaxSumSlot& slot : table) {
    if (!slot.Used) continue;
    const tFiscTaxSumRec& sum = slot.Sum;
    StartLine(reportKind);
    AppendInt(CsvFile.Field(Col("BASE_NO")), sum.TaxIndex);
    FmtBcd(CsvFile.Field(Col("TAX_RATE")), sum.Rate);
    FmtInt(CsvFile.Field(Col("TAX_RATE_CHG")), sum.Flag7 ? 1 : 0);
    FmtBcd(CsvFile.Field(Col("VALUE")), sum.TaxValue);
    FmtFloat(CsvFile.Field(Col("TOTAL")), sum.SalesGross);
    FmtFloat(CsvFile.Field(Col("TOTAL_NEG")), sum.SalesNegative);
    FmtInt(CsvFile.Field(Col("OVERFLOW")), sum.Flag6 ? 1 : 0);
    EndLine();
  }
}
