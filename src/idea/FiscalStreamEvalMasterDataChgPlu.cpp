#include "idea/FiscalStreamEvalMasterDataChgPlu.h"

#include <array>
#include <string_view>
#include <utility>

#include "idea/IdeaColumns.h"

namespace {

using C = tIdeaColumn;
using namespace idea_columns;
constexpr auto kColumns = std::to_array<tIdeaColumn>({
    kKey("DOC_KEY"),
    kEcrNo,
    {"BOOK_DATE", false, C::kDate, 0, "Datum erste Buchung"},
    {"BOOK_TIME", false, C::kAlphaNumeric, 0, "Uhrzeit erste Buchung"},
    {"BASE_NO", false, C::kNumeric, 0, "Stammdatennummer"},
    {"BASE_NAME", false, C::kAlphaNumeric, 0, "Stammdatenname"},
});
consteval int32_t Col(std::string_view name) { return ColumnIndex(kColumns, name); }

}  // namespace

tFiscalStreamEvalMasterDataChgPlu::tFiscalStreamEvalMasterDataChgPlu(
    tIdeaContext& context, std::unique_ptr<tKvFiscalStreamPicker> next)
    : tFiscalStreamPickerIDEA(context, std::move(next)),
      CsvFile(AddTableFile("MasterDataChgPlu.csv", "Stammdaten-Änderungen (Artikel)", kColumns)) {}

void tFiscalStreamEvalMasterDataChgPlu::Header(const tFiscHeaderRec& rec) {
  tFiscalStreamPickerIDEA::Header(rec);
  SkipEntry = !entry_type().IsEvent;
}

void tFiscalStreamEvalMasterDataChgPlu::PLULink(const tFiscPLULinkRec& rec) {
  tFiscalStreamPickerIDEA::PLULink(rec);
  if (!SkipEntry) Links.push_back(rec.Plu);
}

void tFiscalStreamEvalMasterDataChgPlu::SaleItem(const tFiscSaleItemRec& rec) {
  tFiscalStreamPickerIDEA::SaleItem(rec);
  if (SkipEntry) return;
  Record(rec.Plu);
  if (rec.Kind == kFiscTrSaleItem) {
    for (const tFiscNumTextRec& link : Links) Record(link);
    Links.clear();
  }
}

void tFiscalStreamEvalMasterDataChgPlu::Record(const tFiscNumTextRec& article) {
  if (article.Number.IsZero()) return;
  auto [known, inserted] = KnownArticles.try_emplace(article.Number, article.Name);
  if (inserted || known->second == article.Name) return;
  known->second = article.Name;
  const tFiscHeaderRec& h = CurHeader();
  Keys().Increment(tDocumentKeyHandler::kMasterData);
  tFileHdlCSV& csv = CsvFile;
  Keys().AppendKey(csv.Field(Col("DOC_KEY")), tDocumentKeyHandler::kMasterData);
  FmtEcrNo(csv.Field(Col("ECR_NO")));
  WriteDate(csv, Col("BOOK_DATE"), h.DateTime);
  AppendLongTime(csv.Field(Col("BOOK_TIME")), h.DateTime);
  FmtBcdFix(csv.Field(Col("BASE_NO")), article.Number);
  QuotedName(csv.Field(Col("BASE_NAME")), article.Name.view());
  csv.EndLine(static_cast<int32_t>(kColumns.size()));
  csv.HasData = true;
}
