#include "idea/FiscalStreamEvalBlockInfo.h"

#include <array>
#include <string_view>
#include <utility>

#include "base/KvLog.h"

#include "idea/IdeaColumns.h"

namespace {

using C = tIdeaColumn;
using namespace idea_columns;
constexpr auto kColumns = std::to_array<tIdeaColumn>({
    kKey("BLK_KEY"),
    kEcrNo,
    {"CREATE_DATE", false, C::kDate, 0, "Blockerzeugung (Datum)"},
    {"CREATE_TIME", false, C::kAlphaNumeric, 0, "Blockerzeugung (Uhrzeit)"},
    {"REG_START_DATE", false, C::kDate, 0, "Registrierungsstart (Datum)"},
    {"REG_START_TIME", false, C::kAlphaNumeric, 0, "Registrierungsstart (Uhrzeit)"},
    {"REG_END_DATE", false, C::kDate, 0, "Registrierungsende (Datum)"},
    {"REG_END_TIME", false, C::kAlphaNumeric, 0, "Registrierungsende (Uhrzeit)"},
    {"BLOCK_ID", false, C::kNumeric, 0, "Blocknummer"},
    {"FISC_JNL_TYPE", false, C::kNumeric, 0, "Fiskaljournal-Typ"},
    {"ECR_SER_NO", false, C::kNumeric, 0, "Seriennummer"},
    {"ECR_NET_ADDR", false, C::kNumeric, 0, "Kassen-Netzwerkadresse"},
    {"ECR_VERSION", false, C::kAlphaNumeric, 0, "Kassen-Softwareversion"},
    {"EXP_VERSION", false, C::kAlphaNumeric, 0, "Exporttool-Version"},
    {"ECR_NO_SUPPL", false, C::kNumeric, 0, "Kassennummer (zusätzlich)"},
    {"INTEGRITY_CHK", false, C::kNumeric, 0, "Flag: Datenintegrität prüfbar"},
    {"FISC_EVAL_ERROR", false, C::kNumeric, 0, "Auswertungsfehler"},
});
consteval int32_t Col(std::string_view name) { return ColumnIndex(kColumns, name); }

}  // namespace

tFiscalStreamEvalBlockInfo::tFiscalStreamEvalBlockInfo(tIdeaContext& context,
                                                       std::unique_ptr<tKvFiscalStreamPicker> next)
    : tFiscalStreamPickerIDEA(context, std::move(next)),
      CsvFile(AddTableFile("BlockInfo.csv", "Blockinformationen", kColumns)) {}

void tFiscalStreamEvalBlockInfo::BlockStart(const tKvKPosBlockInfoRec& block) {
  tFiscalStreamPickerIDEA::BlockStart(block);
  const tKvKPosTextFileHeaderRec& header = file_header();
  if (header.Int4 != 0) {
    Log().Add("=> Fiskaldaten fehlerhaft (Fehler " + std::to_string(header.Int4) + ")",
              tKvLog::kError);
  }
  Keys().Increment(tDocumentKeyHandler::kBlock);
  tFileHdlCSV& csv = CsvFile;
  Keys().AppendKey(csv.Field(Col("BLK_KEY")), tDocumentKeyHandler::kBlock);
  FmtBcdFix(csv.Field(Col("ECR_NO")), block.EcrNr);
  WriteDate(csv, Col("CREATE_DATE"), block.DateTime);
  FmtTime(csv.Field(Col("CREATE_TIME")), block.DateTime);
  WriteDate(csv, Col("REG_START_DATE"), block.RegStartDT);
  FmtTime(csv.Field(Col("REG_START_TIME")), block.RegStartDT);
  WriteDate(csv, Col("REG_END_DATE"), block.RegEndDT);
  FmtTime(csv.Field(Col("REG_END_TIME")), block.RegEndDT);
  FmtInt(csv.Field(Col("BLOCK_ID")), block.ID);
  FmtInt(csv.Field(Col("FISC_JNL_TYPE")), block.FiscJnlType);
  FmtInt(csv.Field(Col("ECR_SER_NO")), block.SerNr);
  FmtInt(csv.Field(Col("ECR_NET_ADDR")), block.EcrAddr);
  FmtText(csv.Field(Col("ECR_VERSION")), block.SwVer.view());
  csv.AddField(ExpVersion(), Col("EXP_VERSION"));
  if (header.Int1 == 1) {
    FmtInt(csv.Field(Col("ECR_NO_SUPPL")), header.Int2);
    FmtInt(csv.Field(Col("INTEGRITY_CHK")), header.Flag ? 1 : 0);
    FmtInt(csv.Field(Col("FISC_EVAL_ERROR")), header.Int4);
  }
  csv.EndLine(static_cast<int32_t>(kColumns.size()));
  csv.HasData = true;
}
