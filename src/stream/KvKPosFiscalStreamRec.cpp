#include "stream/KvKPosFiscalStreamRec.h"

#include <array>
#include <string>

#include "stream/KvKPosComStreamData.h"

// ---------------------------------------------------------------------------
// EKvKPosFiscalStream

namespace {

std::string FiscalStreamMessage(int64_t filePos, const std::string& text, int8_t code) {
  std::string message = "KPosFiscalStream error #" + std::to_string(code);
  if (!text.empty()) message += " - " + text;
  if (filePos != 0) message += " [FilePos=" + std::to_string(filePos) + "]";
  return message;
}

}  // namespace

EKvKPosFiscalStream::EKvKPosFiscalStream(const tKvClass* object, int64_t filePos,
                                         const std::string& text, int8_t code)
    : EKvRoot(object, FiscalStreamMessage(filePos, text, code)), code_(code), file_pos_(filePos) {}

// ---------------------------------------------------------------------------
// Records

void tKvKPosFileHeaderRec::Assign(const tKvKPosData& e) {
  Init();
  Field1 = e.GetAsInteger(1);
  Field2 = e.GetAsInteger(2);
  Field3 = e.GetAsDateTime(3);
  Field4 = e.GetAsInteger(4);
  Field5 = e.GetAsBcdFix(5);
  Field6 = e.GetAsBcdFix(6);
  Field7 = e.GetAsBcdFix(7);
  Field8 = e.GetAsString(8);
  Field9 = e.GetAsString(9);
  Field10 = e.GetAsInteger(10);
  Field11 = e.GetAsInteger(11);
  Field12 = e.GetAsInteger(12);
  Field13 = e.GetAsInteger(13);
  Field14 = e.GetAsBcdFix(14);
  Field15 = e.GetAsString(15);
  Field16 = e.GetAsInteger(16);
  Field17 = e.GetAsInteger(17);
  Field18 = e.GetAsInteger(18);
  Field19 = e.GetAsString(19);
  Field20 = e.GetAsString(20);
}

void tKvKPosBlockInfoRec::Assign(const tKvKPosData& e) {
  Init();
  ID = e.GetAsInteger(1);
  EcrAddr = e.GetAsInteger(2);
  DateTime = e.GetAsDateTime(3);
  RegEndDT = e.GetAsDateTime(4);
  EcrNr = e.GetAsBcdFix(5);
  SerNr = e.GetAsInteger(6);
  EcrName = e.GetAsString(7);
  HwID = e.GetAsInteger(8);
  FiscJnlType = e.GetAsInteger(9);
  SwVer = e.GetAsString(10);
  DataSign.AssignBinary(e.GetAsBinary(11));
  RegStartDT = e.GetAsDateTime(12);
}

bool tKvKPosBlockInfoRec::Equals(const tKvKPosBlockInfoRec& a, const tKvKPosBlockInfoRec& b) {
  return a.ID >= 1 && a.ID == b.ID && a.EcrAddr == b.EcrAddr && a.DateTime == b.DateTime &&
         a.RegEndDT == b.RegEndDT && a.RegStartDT == b.RegStartDT && a.EcrNr == b.EcrNr &&
         a.SerNr == b.SerNr && a.EcrName == b.EcrName && a.HwID == b.HwID &&
         a.FiscJnlType == b.FiscJnlType && a.SwVer == b.SwVer && a.DataSign.Equals(b.DataSign);
}

void tKvKPosEntryInfoRec::Assign(const tKvKPosData& e) {
  Type = e.GetAsInteger(1);
  Ver = e.GetAsInteger(2);
  VerMin = e.GetAsInteger(3);
  Codepage = e.GetAsInteger(4);
}

// ---------------------------------------------------------------------------
// Fiscal type

tKvKPosFiscalType DecodeFiscalType(int32_t code) {
  tKvKPosFiscalType t;
  t.Code = code % 1000;
  // A negative code has no kind (it would wrap to a byte above 22).
  t.Kind = (t.Code >= 0 && t.Code < 23) ? static_cast<uint8_t>(t.Code) : 0;
  t.Origin = static_cast<uint8_t>(code / 1000);
  switch (t.Kind) {
    case kEntryRegStart:
    case kEntryRegEnd:
    case kEntryFiscalReport:
      t.IsReport = true;
      break;
    case kEntryGcReceipt:
    case kEntryGcManagement:
      t.IsBookingMemory = true;
      t.IsTransaction = true;
      break;
    case kEntryPaidInOut:
    case kEntryMediaMove:
    case kEntryMediaCount:
      t.IsOtherTransaction = true;
      t.IsTransaction = true;
      break;
    case kEntryInvoice:
    case kEntryReceipt:
    case kEntryManualInvoice:
    case kEntryGcSubtotal:
    case kEntryGcDuplicate:
    case kEntryGcProForma:
    case kEntryDeposit:
    case kEntryCreditNote:
    case kEntryLateInvoice:
    case kEntryLateCreditNote:
    case kEntryPettyCashCount:
      t.IsTransaction = true;
      break;
    case kEntryMasterData:
    case kEntryOpenDrawer:
    case kEntryFiscalReportZero:
      t.IsEvent = true;
      break;
    default:
      break;
  }
  t.IsKind4 = t.Kind == kEntryRegEnd;
  t.IsReportOrTransaction = t.IsReport || t.IsTransaction;
  return t;
}

std::string_view OriginText(const tKvKPosFiscalType& type) {
  static constexpr std::array<std::string_view, 3> kOrigins = {"POS", "NEXO", "EJNL"};
  return type.Origin < kOrigins.size() ? kOrigins[type.Origin] : std::string_view();
}
