#include "idea/FiscalStreamPickRegister.h"

#include <array>
#include <string_view>
#include <utility>

#include "base/KvLog.h"

#include "idea/IdeaColumns.h"

namespace {

using C = tIdeaColumn;
using namespace idea_columns;
constexpr auto kColumns = std::to_array<tIdeaColumn>({
    kKey("REG_KEY"),
    kEcrNo,
    kDocDate,
    kDocTime,
    kDocNo,
    kDocType,
    kDocSource,
    kClerkNo,
    kClerkName,
    kCurrIsoCode,
    kCurrIsoNo,
    kSalesExclVat,
    {"SEQ_NO", false, C::kNumeric, 0, "Sequenznummer"},
    {"SEQ_NO_LAST_TRANS", false, C::kNumeric, 0, "Sequenznummer letzte Transakt."},
    {"ECR_VERSION", false, C::kAlphaNumeric, 0, "Kasse: Softwareversion"},
    kBlkKeyLink,
});
consteval int32_t Col(std::string_view name) { return ColumnIndex(kColumns, name); }
constexpr tIdeaDocColumns kDocColumns = DocColumns(kColumns);

}  // namespace

tFiscalStreamPickRegister::tFiscalStreamPickRegister(tIdeaContext& context,
                                                     std::unique_ptr<tKvFiscalStreamPicker> next)
    : tFiscalStreamPickerIDEA(context, std::move(next)),
      CsvFile(AddTableFile("Register.csv", "Registrierungsstart und -ende", kColumns)) {}

bool tFiscalStreamPickRegister::SequenceContinues(const tFiscHeaderRec& rec) const {
  if (RegSeqRestart) return true;
  if (!PrevBlock().EcrNr.IsZero() && PrevBlock().EcrNr != rec.EcrNo) return false;
  if (LastRegSeqNo == 0) return true;
  return IdeaSeqFollows(LastRegSeqNo, rec.SeqNo);
}

void tFiscalStreamPickRegister::Header(const tFiscHeaderRec& rec) {
  tFiscalStreamPickerIDEA::Header(rec);
  SkipEntry = !entry_type().IsReport;
  if (SkipEntry) return;
  LogEntryLine();
  if (entry_type().IsKind4 && !SequenceContinues(rec)) {
    Log().Add("=> Sequenznummern nicht fortlaufend (Reg.): " + std::to_string(LastRegSeqNo) + "/" +
                  std::to_string(rec.SeqNo),
              tKvLog::kError);
  }
  Keys().Increment(tDocumentKeyHandler::kRegister);
}

void tFiscalStreamPickRegister::EntryEnd() {
  // The report lines link to the line by its key: a header without a date
  // is still written.
  if (!SkipEntry) {
    const tFiscHeaderRec& h = CurHeader();
    tFileHdlCSV& csv = CsvFile;
    Keys().AppendKey(csv.Field(Col("REG_KEY")), tDocumentKeyHandler::kRegister);
    WriteDocumentFields(csv, kDocColumns);
    FmtBcdFix(csv.Field(Col("CLERK_NO")), h.Operator.Number);
    QuotedName(csv.Field(Col("CLERK_NAME")), h.Operator.Name.view());
    WriteCurrencyFields(csv, kDocColumns);
    FmtInt(csv.Field(Col("SEQ_NO")), h.SeqNo);
    FmtInt(csv.Field(Col("SEQ_NO_LAST_TRANS")), h.LastVoucherSeqNo);
    FmtText(csv.Field(Col("ECR_VERSION")), h.EcrText.view());
    Keys().AppendKey(csv.Field(Col("BLK_KEY_LINK")), tDocumentKeyHandler::kBlock);
    csv.EndLine(static_cast<int32_t>(kColumns.size()));
    csv.HasData = true;
    if (entry_type().IsKind4) LastRegSeqNo = h.SeqNo;
  }
  tFiscalStreamPickerIDEA::EntryEnd();
}

void tFiscalStreamPickRegister::BlockStart(const tKvKPosBlockInfoRec& block) {
  tFiscalStreamPickerIDEA::BlockStart(block);
  RegSeqRestart = !IdeaBlockContinues(PrevBlock(), block);
  if (RegSeqRestart) LastRegSeqNo = 0;
}
