#include "idea/FiscalStreamPickRegister.h"

#include <array>
#include <utility>

#include "base/KvLog.h"

#include "idea/IdeaColumns.h"

namespace {

using C = tIdeaColumn;
using namespace idea_columns;
constexpr std::array<tIdeaColumn, 16> kColumns = {{
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
}};

}  // namespace

tFiscalStreamPickRegister::tFiscalStreamPickRegister(tIdeaContext& context,
                                                     std::unique_ptr<tKvFiscalStreamPicker> next)
    : tFiscalStreamPickerIDEA(context, std::move(next)),
      CsvFile(AddTableFile("Register.csv", "Registrierungsstart und -ende", kColumns)) {}

bool tFiscalStreamPickRegister::SequenceContinues(const tFiscHeaderRec& rec) const {
  if (RegSeqRestart) return true;
  if (!PrevBlock().EcrNr.IsZero() && PrevBlock().EcrNr != rec.EcrNo) return false;
  if (LastRegSeqNo == 0) return true;
  return rec.SeqNo == LastRegSeqNo + 1;
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
  const tFiscHeaderRec& h = CurHeader();
  if (!SkipEntry && !h.DateTime.IsNull()) {
    tFileHdlCSV& csv = CsvFile;
    Keys().AppendKey(csv.Field(1), tDocumentKeyHandler::kRegister);
    FmtEcrNo(csv.Field(2));
    FmtDate(csv.Field(3), h.DateTime);
    FmtTime(csv.Field(4), h.DateTime);
    FmtInt(csv.Field(5), h.DocNo);
    AppendInt(csv.Field(6), entry_type().Code);
    csv.AddField(OriginName(), 7);
    FmtBcdFix(csv.Field(8), h.Operator.Number);
    QuotedName(csv.Field(9), h.Operator.Name.view());
    FmtText(csv.Field(10), h.Currency.IsoCode.view());
    FmtInt(csv.Field(11), h.Currency.IsoNo);
    FmtInt(csv.Field(12), h.NetBooking ? 1 : 0);
    FmtInt(csv.Field(13), h.SeqNo);
    FmtInt(csv.Field(14), h.LastVoucherSeqNo);
    FmtText(csv.Field(15), h.EcrText.view());
    Keys().AppendKey(csv.Field(16), tDocumentKeyHandler::kBlock);
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
