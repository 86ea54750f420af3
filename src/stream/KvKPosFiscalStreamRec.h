// Records of the fiscal layer of the journal: the binary file header, block
// and entry information, the text-input header, the decoding of fiscal
// type codes, and the exception of the fiscal layer. Plain values that travel
// by const reference between the layers; whoever keeps one copies it. Texts
// are cut to their capacity.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

#include "base/KvErrors.h"
#include "stream/KvFixedText.h"
#include "stream/KvKPosComStream.h"
#include "stream/KvTypes.h"

// Fixed text of the records: at most 100 bytes.
using tKvKPosText100 = tKvFixedText<100>;

// ---------------------------------------------------------------------------
// Exception of the fiscal layer.
// Message: "KPosFiscalStream error #<code>", then " - <text>" when text is
// not empty, then " [FilePos=<filePos>]" when filePos is not 0; EKvRoot adds
// "[<class of object>] " in front when an object is given.
class EKvKPosFiscalStream : public EKvRoot {
 public:
  EKvKPosFiscalStream(const tKvClass* object, int64_t filePos, const std::string& text,
                      int8_t code);
  int8_t Code() const { return code_; }
  int64_t FilePos() const { return file_pos_; }

 private:
  int8_t code_;
  int64_t file_pos_;
};

// ---------------------------------------------------------------------------
// File header of a binary stream (item 50 or 1050): 20 fields taken from
// items 1 to 20 of the header element. Nothing in the program interprets
// them; they are carried as one record. Intentionally copyable.
struct tKvKPosFileHeaderRec {
  int32_t Field1 = 0;
  int32_t Field2 = 0;
  tKvDateTime Field3;
  int32_t Field4 = 0;
  tKvBcdFix Field5;
  tKvBcdFix Field6;
  tKvBcdFix Field7;
  tKvKPosText100 Field8;
  tKvKPosText100 Field9;
  int32_t Field10 = 0;
  int32_t Field11 = 0;
  int32_t Field12 = 0;
  int32_t Field13 = 0;
  tKvBcdFix Field14;
  tKvKPosText100 Field15;
  int32_t Field16 = 0;
  int32_t Field17 = 0;
  int32_t Field18 = 0;
  tKvKPosText100 Field19;
  tKvKPosText100 Field20;

  void Init() { *this = tKvKPosFileHeaderRec(); }
  // Fills the fields from items 1 to 20 of element (missing items give
  // the neutral values of the accessors).
  void Assign(const tKvKPosData& element);
};

// ---------------------------------------------------------------------------
// Block information (item 5): the start of a block. Intentionally copyable.
struct tKvKPosBlockInfoRec {
  int32_t ID = 0;  //!< block number
  int32_t EcrAddr = 0;
  tKvDateTime DateTime;
  tKvDateTime RegEndDT;
  tKvBcdFix EcrNr;    //!< terminal number
  int32_t SerNr = 0;  //!< serial number of the terminal
  tKvKPosText100 EcrName;
  int32_t HwID = 0;
  int32_t FiscJnlType = 0;
  tKvKPosText100 SwVer;
  tKvKPosSignatureRec DataSign;  //!< data signature of the block
  tKvDateTime RegStartDT;

  // All fields zero, DataSign initialised.
  void Init() { *this = tKvKPosBlockInfoRec(); }
  // Fills the fields from items 1 to 12 of element; a signature (item 11)
  // above 1024 bytes raises EKvParam (tKvKPosSignatureRec::AssignBinary).
  void Assign(const tKvKPosData& element);
  // True only when a.ID >= 1 and every field is equal, so two records
  // without a block number are never equal (a repeated block is recognised
  // by this).
  static bool Equals(const tKvKPosBlockInfoRec& a, const tKvKPosBlockInfoRec& b);
};

// ---------------------------------------------------------------------------
// Entry information (item 3): the start of a journal entry.
// Intentionally copyable.
struct tKvKPosEntryInfoRec {
  int32_t Type = -1;  //!< fiscal journal type (national variant: 1, 5 Germany, ...)
  int32_t Ver = 0;
  int32_t VerMin = 0;
  int32_t Codepage = 0;

  // Type -1, the others 0.
  void Init() { *this = tKvKPosEntryInfoRec(); }
  // Fills the fields from items 1 to 4 of element.
  void Assign(const tKvKPosData& element);
  friend bool operator==(const tKvKPosEntryInfoRec&, const tKvKPosEntryInfoRec&) = default;
};

// ---------------------------------------------------------------------------
// Header record of a text input (native export text or ASCII interface
// file), sent with the FileHeader writer event. Which input keys fill the
// fields is decided by the producers; the writers only copy and forward it.
// Intentionally copyable.
struct tKvKPosTextFileHeaderRec {
  int32_t Int1 = 0;       //!< first integer (1: the supplementary fields are valid)
  tKvDateTime DateTime1;  //!< first date-time
  tKvKPosText100 Text;
  int32_t Int2 = 0;       //!< second integer (supplementary terminal number)
  tKvDateTime DateTime2;  //!< second date-time
  int32_t Int3 = 0;       //!< third integer
  bool Flag = false;      //!< flag (data integrity can be checked)
  int32_t Int4 = 0;       //!< fourth integer (evaluation error code)

  void Init() { *this = tKvKPosTextFileHeaderRec(); }
  friend bool operator==(const tKvKPosTextFileHeaderRec&,
                         const tKvKPosTextFileHeaderRec&) = default;
};

// ---------------------------------------------------------------------------
// The kinds of fiscal journal entries (tKvKPosFiscalType::Kind), one each.
enum tFiscEntryKind : uint8_t {
  kEntryNone = 0,               //!< code 0 or a code outside 1..22: no kind
  kEntryInvoice = 1,            //!< invoice
  kEntryReceipt = 2,            //!< receipt
  kEntryRegStart = 3,           //!< start of registration (report)
  kEntryRegEnd = 4,             //!< end of registration (report, sequence-checked)
  kEntryManualInvoice = 5,      //!< manual invoice
  kEntryGcReceipt = 6,          //!< guest-check receipt (booking memory)
  kEntryGcManagement = 7,       //!< guest-check management receipt (booking memory)
  kEntryGcSubtotal = 8,         //!< guest-check subtotal
  kEntryGcDuplicate = 9,        //!< duplicate of a guest check
  kEntryGcProForma = 10,        //!< pro-forma guest check
  kEntryPaidInOut = 11,         //!< paid-in or paid-out receipt (other transaction)
  kEntryMediaMove = 12,         //!< move between payment media (other transaction)
  kEntryDeposit = 13,           //!< deposit
  kEntryMasterData = 14,        //!< master data changed (event)
  kEntryCreditNote = 15,        //!< credit note
  kEntryLateInvoice = 16,       //!< invoice recorded afterwards
  kEntryLateCreditNote = 17,    //!< credit note recorded afterwards
  kEntryOpenDrawer = 18,        //!< drawer opened (event)
  kEntryMediaCount = 19,        //!< count of the payment media (other transaction)
  kEntryPettyCashCount = 20,    //!< count of the petty cash
  kEntryFiscalReportZero = 21,  //!< fiscal report with zero setting (event)
  kEntryFiscalReport = 22,      //!< fiscal report (report)
};

// ---------------------------------------------------------------------------
// Fiscal type of a journal entry, decoded from the record type c of its
// level-1 record. Intentionally copyable.
struct tKvKPosFiscalType {
  int32_t Code = 0;                    //!< c mod 1000
  uint8_t Kind = 0;                    //!< a tFiscEntryKind: Code when 0 <= Code < 23, else 0
  uint8_t Origin = 0;                  //!< c div 1000 (0 POS, 1 NEXO, 2 EJNL)
  bool IsReport = false;               //!< Kind 3, 4, 22
  bool IsKind4 = false;                //!< Kind 4
  bool IsTransaction = false;          //!< Kind 1, 2, 5-13, 15-17, 19, 20
  bool IsEvent = false;                //!< Kind 14, 18, 21
  bool IsReportOrTransaction = false;  //!< IsReport or IsTransaction
  bool IsBookingMemory = false;        //!< Kind 6, 7 (transactions kept apart)
  bool IsOtherTransaction = false;     //!< Kind 11, 12, 19 (transactions kept apart)
};

// Field by field, as a default comparison would, in a few wide compares
// (the view's relay compares the entry type before every record): the
// fields are packed without padding up to the last one.
inline bool operator==(const tKvKPosFiscalType& a, const tKvKPosFiscalType& b) {
  constexpr size_t kBytes = offsetof(tKvKPosFiscalType, IsOtherTransaction) + sizeof(bool);
  static_assert(kBytes == sizeof(int32_t) + 2 * sizeof(uint8_t) + 7 * sizeof(bool));
  return std::memcmp(&a, &b, kBytes) == 0;
}

tKvKPosFiscalType DecodeFiscalType(int32_t code);
// "POS", "NEXO" or "EJNL" for the origins 0 to 2; "" for any other origin.
std::string_view OriginText(const tKvKPosFiscalType& type);
