#include "idea/FiscalStreamEvalMedia.h"

#include <string_view>
#include <utility>

#include "idea/IdeaColumns.h"

namespace {

using C = tIdeaColumn;
using namespace idea_columns;
constexpr auto kColumns = std::to_array<tIdeaColumn>({
    kDocKeyLink,
    kRecNo,
    {"REC_TYPE", false, C::kAlphaNumeric, 0, "Datensatztyp", kRecTypeMap},
    {"MEDIA_NO", false, C::kNumeric, 0, "Finanzwegnummer"},
    {"MEDIA_NAME", false, C::kAlphaNumeric, 0, "Bezeichnung"},
    {"AMOUNT", false, C::kNumeric, 2, "Betrag"},
    {"PAY_DATE", false, C::kDate, 0, "Datum des Zahlungsvorgangs"},
    {"PAY_TIME", false, C::kAlphaNumeric, 0, "Uhrzeit des Zahlungsvorgangs"},
    {"FOR_CURR_ISO_CODE", false, C::kAlphaNumeric, 0, "Fremdwährung: ISO-Code"},
    {"FOR_CURR_ISO_NO", false, C::kNumeric, 0, "Fremdwährung: ISO-Nummer"},
    kEcrNo,
});
consteval int32_t Col(std::string_view name) { return ColumnIndex(kColumns, name); }

// The booking memory's file carries the other transactions' description,
// as the index has always declared it.
constexpr std::array<tIdeaCategoryFile, 3> kFiles = {{
    {"TransactMedia.csv", "Finanzweg-Informationen"},
    {"BookMemMedia.csv", "Finanzweg-Informationen (sonstige Transaktionen)"},
    {"MiscTransMedia.csv", "Finanzweg-Informationen (sonstige Transaktionen)"},
}};

}  // namespace

tFiscalStreamEvalMedia::tFiscalStreamEvalMedia(tIdeaContext& context,
                                               std::unique_ptr<tKvFiscalStreamPicker> next)
    : tFiscalStreamPickerIDEA(context, std::move(next)),
      CsvFiles(AddCategoryFiles(kFiles, kColumns)) {}

void tFiscalStreamEvalMedia::Header(const tFiscHeaderRec& rec) {
  tFiscalStreamPickerIDEA::Header(rec);
  SkipEntry = !entry_type().IsTransaction;
  RecNo = 0;
}

void tFiscalStreamEvalMedia::Payment(const tFiscPaymentRec& rec) {
  tFiscalStreamPickerIDEA::Payment(rec);
  if (SkipEntry) return;
  ++RecNo;
  tFileHdlCSV& csv = CategoryFile(CsvFiles);
  Keys().AppendKey(csv.Field(Col("DOC_KEY_LINK")), CategoryCounter());
  AppendInt(csv.Field(Col("REC_NO")), RecNo);
  AppendInt(csv.Field(Col("REC_TYPE")), rec.Kind);
  AppendInt(csv.Field(Col("MEDIA_NO")), rec.Media.MediaNo);
  FmtText(csv.Field(Col("MEDIA_NAME")), rec.Media.MediaName.view());
  FmtBcd(csv.Field(Col("AMOUNT")), rec.Amount);
  WriteDate(csv, Col("PAY_DATE"), rec.PayDateTime);
  FmtTime(csv.Field(Col("PAY_TIME")), rec.PayDateTime);
  FmtText(csv.Field(Col("FOR_CURR_ISO_CODE")), rec.ForeignCurrency.IsoCode.view());
  FmtInt(csv.Field(Col("FOR_CURR_ISO_NO")), rec.ForeignCurrency.IsoNo);
  AppendEcrNoDigits(csv.Field(Col("ECR_NO")));
  csv.EndLine(static_cast<int32_t>(kColumns.size()));
  csv.HasData = true;
}
