#include "idea/FiscalStreamEvalReports.h"

#include <array>
#include <utility>

#include "idea/IdeaColumns.h"

namespace {

using C = tIdeaColumn;
using namespace idea_columns;
constexpr std::array<tIdeaColumn, 13> kColumns = {{
    {"REG_KEY_LINK", true, C::kNumeric, 0, "Verweis: Reg.-Schlüssel"},
    kRecNo,
    {"REP_TYPE", false, C::kAlphaNumeric, 0, "Berichtstyp"},
    {"BASE_NO", false, C::kNumeric, 0, "Stammdatennummer"},
    {"TAX_RATE", false, C::kNumeric, 2, "Steuersatz"},
    {"TAX_RATE_CHG", false, C::kFlag, 0, "Steuersatz geändert"},
    {"VALUE", false, C::kNumeric, 2, "Wert"},
    {"TOTAL", false, C::kNumeric, 2, "Umsatz"},
    // Declared as a flag, though its lines carry the negative sales amount.
    {"TOTAL_NEG", false, C::kFlag, 0, "Negativer Umsatz"},
    {"CNT", false, C::kNumeric, 0, "Zähler"},
    {"OVERFLOW", false, C::kFlag, 0, "Umsatzüberlauf"},
    kEcrNo,
    kRegStartDate,
}};

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
  Keys().AppendKey(CsvFile.Field(1), tDocumentKeyHandler::kRegister);
  AppendInt(CsvFile.Field(2), RecNo);
  AppendInt(CsvFile.Field(3), reportKind);
}

void tFiscalStreamEvalReports::EndLine() {
  FmtEcrNo(CsvFile.Field(12));
  FmtDate(CsvFile.Field(13), RegStart());
  CsvFile.EndLine(static_cast<int32_t>(kColumns.size()));
  CsvFile.HasData = true;
}

void tFiscalStreamEvalReports::ReportCounters(const tFiscReportCountersRec& rec) {
  tFiscalStreamPickerIDEA::ReportCounters(rec);
  if (SkipEntry) return;
  for (const tFiscCounterSlot& slot : rec.Slots) {
    if (!slot.Used) continue;
    StartLine(slot.Kind);
    FmtFloat(CsvFile.Field(7), slot.Cell.Amount);
    FmtBcd(CsvFile.Field(10), slot.Cell.Count);
    FmtInt(CsvFile.Field(11), slot.Cell.Flag ? 1 : 0);
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
    AppendInt(CsvFile.Field(4), sum.TaxIndex);
    FmtBcd(CsvFile.Field(5), sum.Rate);
    FmtInt(CsvFile.Field(6), sum.Flag7 ? 1 : 0);
    FmtBcd(CsvFile.Field(7), sum.TaxValue);
    FmtFloat(CsvFile.Field(8), sum.SalesGross);
    FmtFloat(CsvFile.Field(9), sum.SalesNegative);
    FmtInt(CsvFile.Field(11), sum.Flag6 ? 1 : 0);
    EndLine();
  }
}
