// The fiscal record model: the plain value records into which the evaluator
// collects the fields of one journal entry, the identifier paths that place a
// field in its record, and (through FiscCaptions.h) the caption table.
// Records are intentionally copyable values; texts have fixed capacities and
// are cut to them. Only the modifier arrays of a sale item and a linked
// article own heap storage. Nothing here fails except tFiscPluModifierArr::Get
// (EKvMisc "Modifier: Index out of bounds!").
//
// Paths. Every record and field of an entry carries an identifier; level 1 is
// the entry (its identifier the fiscal type code), level 2 the record kind k.
// A field is addressed by the identifiers from level 2 down to its own: 2.9.1
// is field 1 inside record 9 inside the level-2 record of kind 2. The
// FiscStore...Field functions take the part of the path below the record kind
// (for 1.10.7.2.1: {10, 7, 2, 1}); they return false for a path the record
// does not know, which the evaluator reports as unhandled data.
#pragma once

#include <algorithm>
#include <array>
#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

#include "eval/FiscCaptions.h"
#include "stream/KvBcd.h"
#include "stream/KvFixedText.h"
#include "stream/KvTypes.h"

class tKvKPosData;

// ---------------------------------------------------------------------------
// Value kinds
//
//   integer    int32_t        the element's GetAsInteger
//   decimal    tKvBcd         GetAsBcd
//   digits     tKvBcdFix      GetAsBcdFix
//   date-time  tKvDateTime    GetAsDateTime
//   flag       bool           true exactly when GetAsInteger equals 1
//   text N     tFiscText<N>   GetAsString cut to N bytes
//   bytes      tFiscBytes     a length and at most 1024 bytes
// ---------------------------------------------------------------------------

template <std::size_t N>
using tFiscText = tKvFixedText<N>;

// Identifiers below the record kind, outermost first (see the header comment).
using tFiscPath = std::span<const int32_t>;

// Tax indexes address the slots 0 to 8 of a tax table.
inline constexpr int32_t kFiscTaxSlots = 9;

// A binary value: Length bytes at the start of Data. A value longer than
// kCapacity is refused whole (Assign returns false and leaves the value
// empty): a cut signature or hash would be a wrong one.
// Intentionally copyable.
struct tFiscBytes {
  static constexpr int32_t kCapacity = 1024;

  int32_t Length = 0;
  std::array<char, kCapacity> Data{};

  // Replaces the content; false (and empty) when value exceeds kCapacity.
  bool Assign(std::string_view value);
  void Clear() { Assign({}); }
  // The value; a Length outside 0..kCapacity is read as clamped to it.
  std::string_view View() const {
    return {Data.data(), static_cast<std::size_t>(std::clamp(Length, 0, kCapacity))};
  }

  friend bool operator==(const tFiscBytes& a, const tFiscBytes& b) { return a.View() == b.View(); }
};

// ---------------------------------------------------------------------------
// Composite values. Their sub-field identifiers sit one level below the field
// that holds them.
// ---------------------------------------------------------------------------

// Numbered master-data reference: 1 Number, 2 Name.
struct tFiscNumTextRec {
  tKvBcdFix Number;
  tFiscText<80> Name;
  bool operator==(const tFiscNumTextRec&) const = default;
};

// The same with an integer number: 1 Number, 2 Name.
struct tFiscIdTextRec {
  int32_t Number = 0;
  tFiscText<80> Name;
  bool operator==(const tFiscIdTextRec&) const = default;
};

// 1 IsoCode, 2 IsoNo, 3 Extra; a value carried by the field itself is the
// IsoCode.
struct tFiscCurrencyRec {
  tFiscText<3> IsoCode;
  int32_t IsoNo = 0;
  int32_t Extra = 0;
  bool operator==(const tFiscCurrencyRec&) const = default;
};

// One report or total cell: 1 Count, 2 Amount, 3 Flag (turnover overflow).
struct tFiscCounterRec {
  tKvBcd Count;
  tKvBcd Amount;
  bool Flag = false;
  bool operator==(const tFiscCounterRec&) const = default;
};

// Stored Net, Gross; the identifiers run the other way: 2 Net, 1 Gross.
struct tFiscAmountPairRec {
  tKvBcd Net;
  tKvBcd Gross;
  bool operator==(const tFiscAmountPairRec&) const = default;
};

// The grand total of a report: 1 total sales, 2 total turnover, 3 total returns.
struct tFiscTotalsRec {
  tKvBcd Sales;
  tKvBcd Turnover;
  tKvBcd Returns;
  bool operator==(const tFiscTotalsRec&) const = default;
};

// One slot of an item's tax table. Also the pending item tax, collected from
// the fields 1 (TaxIndex) and 2 (Amount) of a tax record.
struct tFiscItemTaxRec {
  bool Used = false;
  int32_t TaxIndex = 0;
  tKvBcd Amount;
  bool operator==(const tFiscItemTaxRec&) const = default;
};
using tFiscItemTaxTable = std::array<tFiscItemTaxRec, kFiscTaxSlots>;

// The tax summary of one tax rate. Paths relative to the field that holds the
// summary: 1.1 TaxIndex, 1.2 Rate (percent), 1.3 Text, 7 Flag7, 2 SalesGross,
// 8 SalesNet, 4 SalesNegative, 3 TaxValue, 5 Amount5, 6 Flag6.
struct tFiscTaxSumRec {
  int32_t TaxIndex = 0;
  tKvBcd Rate;
  tFiscText<80> Text;
  bool Flag7 = false;
  tKvBcd SalesGross;
  tKvBcd SalesNet;
  tKvBcd SalesNegative;
  tKvBcd TaxValue;
  tKvBcd Amount5;
  bool Flag6 = false;
  bool operator==(const tFiscTaxSumRec&) const = default;
};

struct tFiscTaxSumSlot {
  bool Used = false;
  tFiscTaxSumRec Sum;
  bool operator==(const tFiscTaxSumSlot&) const = default;
};
using tFiscTaxSumTable = std::array<tFiscTaxSumSlot, kFiscTaxSlots>;

// One modifier of an article: 1 Modifier (tFiscIdTextRec: 1.1 number, 1.2
// name), 2 Amount.
struct tFiscModifierRec {
  tFiscIdTextRec Modifier;
  tKvBcd Amount;
  bool operator==(const tFiscModifierRec&) const = default;
};

// The modifiers of one article: elements 1..Count are valid; the storage may
// be longer than Count and is kept by Clear, so that the next article reuses
// it. Intentionally copyable.
class tFiscPluModifierArr {
 public:
  tFiscPluModifierArr() = default;
  // A copy holds the valid elements only: copying an article without
  // modifiers allocates nothing. Assignment keeps the target's storage.
  tFiscPluModifierArr(const tFiscPluModifierArr& other);
  tFiscPluModifierArr& operator=(const tFiscPluModifierArr& other);
  tFiscPluModifierArr(tFiscPluModifierArr&&) noexcept = default;
  tFiscPluModifierArr& operator=(tFiscPluModifierArr&&) noexcept = default;

  int32_t Count() const { return count_; }
  // Number of elements the storage holds (at least Count).
  std::size_t Capacity() const { return items_.size(); }

  // Appends a copy of pending as element Count + 1, growing the storage by
  // exactly one element when it is full, then clears pending.
  void Add(tFiscModifierRec& pending);
  // A copy of element index (1..Count); any other index raises EKvMisc
  // "Modifier: Index out of bounds!".
  tFiscModifierRec Get(int32_t index) const;
  // Count becomes 0; the storage is kept.
  void Clear() { count_ = 0; }
  // Count becomes 0 and the storage is freed.
  void Release();

  // Equal when the valid elements are equal (storage size does not count).
  friend bool operator==(const tFiscPluModifierArr& a, const tFiscPluModifierArr& b);

 private:
  int32_t count_ = 0;
  std::vector<tFiscModifierRec> items_;
};

// ---------------------------------------------------------------------------
// Record kinds (level-2 identifiers) and the sub-records the evaluator closes.
// ---------------------------------------------------------------------------

// Every entry class: kind 1 is the header.
inline constexpr int32_t kFiscKindHeader = 1;

// Transaction entries.
enum : int32_t {
  kFiscTrSaleItem = 2,         //!< article sale (tFiscSaleItemRec)
  kFiscTrDiscount = 3,         //!< discount (tFiscAdjustRec)
  kFiscTrExtraCharge = 4,      //!< extra charge (tFiscAdjustRec)
  kFiscTrClosing = 5,          //!< totals of the transaction (tFiscClosingRec)
  kFiscTrPayment = 6,          //!< payment (tFiscPaymentRec)
  kFiscTrSignature = 7,        //!< signature (tFiscSignatureRec)
  kFiscTrTip = 8,              //!< tip (tFiscAdjustRec)
  kFiscTrExpenses = 9,         //!< expenses / agency sale (tFiscSaleItemRec)
  kFiscTrDepositDone = 11,     //!< deposit made (tFiscDepositRec)
  kFiscTrDepositPayment = 12,  //!< deposit payment (tFiscDepositRec)
  kFiscTrPaidInOut = 13,       //!< paid in / out (tFiscDepositRec)
  kFiscTrAdjust16 = 16,        //!< adjustment of unknown kind (tFiscAdjustRec)
};

// Sub-records inside a transaction record (the identifier at level 3, or at
// level 4 inside a linked article).
enum : int32_t {
  kFiscSaleItemTax = 4,       //!< k.4: one tax record of a sale item
  kFiscSaleItemLink = 5,      //!< k.5: a linked article (tFiscPLULinkRec)
  kFiscSaleItemModifier = 8,  //!< k.8: one modifier of a sale item
  kFiscLinkModifier = 6,      //!< k.5.6: one modifier of a linked article
  kFiscAdjustTax = 3,         //!< k.3: one tax record of an adjustment
  kFiscClosingTaxSum = 2,     //!< 5.2: one tax summary of the closing
};

// Report entries.
enum : int32_t {
  kFiscRpTaxTotal = 3,     //!< tax table, first of tFiscReportTaxRec
  kFiscRpSignature = 4,    //!< signature (tFiscSignatureRec)
  kFiscRpDropped = 5,      //!< dropped without notice
  kFiscRpMedia = 15,       //!< one payment medium (tFiscReportMediaRec)
  kFiscRpGroupA = 16,      //!< main group, selector 0 (tFiscReportGroupRec)
  kFiscRpGroupB = 17,      //!< main group, selector 1 (tFiscReportGroupRec)
  kFiscRpGrandTotal = 18,  //!< GrandTotal of tFiscReportCountersRec
  kFiscRpTaxSingle = 27,   //!< tax table, second of tFiscReportTaxRec
};

// Event entries.
enum : int32_t {
  kFiscEvInfo = 2,   //!< Info of tFiscEventRec
  kFiscEvValue = 3,  //!< Value of tFiscEventRec
};

constexpr bool FiscIsSaleItemKind(int32_t k) { return k == 2 || k == 9; }
constexpr bool FiscIsAdjustKind(int32_t k) { return k == 3 || k == 4 || k == 8 || k == 16; }
constexpr bool FiscIsDepositKind(int32_t k) { return k >= 11 && k <= 13; }
constexpr bool FiscIsPaymentKind(int32_t k) {
  return k == 6 || k == 14 || k == 15 || (k >= 17 && k <= 21);
}

// Report kinds that fill a counter slot, in slot order.
inline constexpr std::array<int32_t, 22> kFiscReportCounterKinds = {
    2, 6, 7, 28, 8, 9, 10, 11, 12, 13, 14, 19, 20, 21, 22, 23, 24, 25, 26, 29, 30, 31};

// The counter slot (0-21) of a report kind, or -1 when the kind has none.
constexpr int FiscReportCounterSlot(int32_t reportKind) {
  for (std::size_t i = 0; i < kFiscReportCounterKinds.size(); ++i) {
    if (kFiscReportCounterKinds[i] == reportKind) return static_cast<int>(i);
  }
  return -1;
}

// ---------------------------------------------------------------------------
// Records delivered to the pickers. Fields in stored order; the comment after
// a field gives its path (k = the record kind).
// ---------------------------------------------------------------------------

struct tFiscReceiptCounterRec {
  int32_t Counter = 0;   // 1.10.7.2.1
  int32_t Counter2 = 0;  // 1.10.7.2.2
  tFiscText<100> Text;   // 1.10.7.2.3
  bool operator==(const tFiscReceiptCounterRec&) const = default;
};

struct tFiscSubsequentRec {
  tFiscText<200> Text;    // 1.19.1
  tKvDateTime IssueDate;  // 1.19.2
  bool operator==(const tFiscSubsequentRec&) const = default;
};

struct tFiscVoidRec {
  tFiscText<100> OriginalInvoice;  // 1.20.1
  tFiscIdTextRec VoidType;         // 1.20.2
  tFiscText<100> Reason;           // 1.20.3
  bool operator==(const tFiscVoidRec&) const = default;
};

struct tFiscCustomerRec {
  tFiscText<100> TaxNo;    // 1.21.1
  tFiscText<100> Name;     // 1.21.2
  tFiscText<50> Street;    // 1.21.3
  tFiscText<50> City;      // 1.21.4
  tFiscText<20> PostCode;  // 1.21.5
  tFiscText<100> Country;  // 1.21.6
  bool operator==(const tFiscCustomerRec&) const = default;
};

// The header of an entry (kind 1). Paths of transaction and report entries;
// event entries use 1.1 DateTime, 1.2 EcrNo, 1.3 Operator, 1.4 AuthOperator.
struct tFiscHeaderRec {
  tKvDateTime DateTime;                   // 1.1
  tFiscNumTextRec Operator;               // 1.2 (1.2.1 number, 1.2.2 name)
  int32_t DocNo = 0;                      // 1.3 document number
  bool Training = false;                  // 1.4
  tKvBcdFix EcrNo;                        // 1.5 register number
  tKvBcdFix BookMemNo;                    // 1.6 booking memory, e.g. the table
  int32_t BookMemType = 0;                // 1.7 kind of booking memory
  bool NetBooking = false;                // 1.8
  int32_t SeqNo = 0;                      // 1.9 sequence number
  tFiscText<200> TaxpayerId;              // 1.10.1
  int32_t CardNo = 0;                     // 1.10.2
  tFiscText<80> ManufacturingId;          // 1.10.3
  int32_t Int10_4 = 0;                    // 1.10.4
  int32_t KeyPairSerialNo = 0;            // 1.10.5
  tFiscBytes PluHash;                     // 1.10.6 (the element's long text form)
  tKvDateTime ControlDateTime;            // 1.10.7.1
  tFiscReceiptCounterRec ReceiptCounter;  // 1.10.7.2
  tFiscText<100> ControlModuleId;         // 1.10.7.3
  tFiscText<100> SigningCardId;           // 1.10.7.4
  tFiscText<100> EcrProductionNo;         // 1.10.8
  tFiscCurrencyRec Currency;              // 1.11
  int32_t FirstVoucherSeqNo = 0;          // 1.13
  int32_t LastVoucherSeqNo = 0;           // 1.12
  tFiscText<100> EcrText;                 // 1.14 shown beside the register number
  bool NotPrinted = false;                // 1.15
  int32_t Int16 = 0;                      // 1.16
  tFiscText<100> InvoiceNo;               // 1.17
  tFiscText<100> VoucherLink;             // 1.18
  tFiscSubsequentRec Subsequent;          // 1.19
  tFiscVoidRec Void;                      // 1.20
  tFiscCustomerRec Customer;              // 1.21
  tFiscNumTextRec AuthOperator;           // events only: 1.4
  tFiscIdTextRec FiscalReport;            // 1.22
  bool operator==(const tFiscHeaderRec&) const = default;
};

// One sold article (kinds 2 and 9). k.5 introduces a linked article, which
// is delivered separately as tFiscPLULinkRec and not stored here.
struct tFiscSaleItemRec {
  int32_t Kind = 0;               // the record kind, 2 or 9
  tFiscNumTextRec Plu;            // k.1
  tFiscNumTextRec Department;     // k.9
  tKvBcd Quantity;                // k.2
  tFiscText<80> Text;             // k.6
  tKvBcd Amount;                  // k.3
  tKvBcd Amount10;                // k.10
  bool PriceOverwrite = false;    // k.7
  tFiscItemTaxTable Taxes;        // k.4 (k.4.1 index, k.4.2 amount), by tax index
  tFiscPluModifierArr Modifiers;  // k.8 (k.8.1 modifier, k.8.2 amount)

  // Every field zero, false or empty; the modifiers' storage is kept.
  void Clear();
  bool operator==(const tFiscSaleItemRec&) const = default;
};

// An article linked to the sale item that encloses it (below k.5).
struct tFiscPLULinkRec {
  tFiscNumTextRec Plu;            // k.5.1
  tFiscNumTextRec Department;     // k.5.7
  tKvBcd Quantity;                // k.5.2
  tFiscText<80> Text;             // k.5.4
  tKvBcd Amount;                  // k.5.3
  bool PriceOverwrite = false;    // k.5.5
  tFiscPluModifierArr Modifiers;  // k.5.6 (k.5.6.1 modifier, k.5.6.2 amount)

  // Every field zero, false or empty; the modifiers' storage is kept.
  void Clear();
  bool operator==(const tFiscPLULinkRec&) const = default;
};

// Discount, extra charge, tip and kind 16.
struct tFiscAdjustRec {
  int32_t Kind = 0;         // the record kind
  tFiscIdTextRec Ref;       // k.1
  tKvBcd Amount;            // k.2
  tFiscItemTaxTable Taxes;  // k.3 (k.3.1 index, k.3.2 amount), by tax index
  bool Flag = false;        // k.4
  bool operator==(const tFiscAdjustRec&) const = default;
};

// Deposit made, deposit payment, paid in/out (kinds 11 to 13).
struct tFiscDepositRec {
  int32_t Kind = 0;     // the record kind
  tFiscNumTextRec Ref;  // k.1
  tKvBcd Amount;        // k.2
  bool operator==(const tFiscDepositRec&) const = default;
};

// The totals of a transaction (kind 5).
struct tFiscClosingRec {
  tFiscAmountPairRec Totals;   // 5.1 (5.1.2 net, 5.1.1 gross)
  tFiscCounterRec Expenses;    // 5.3
  tFiscCounterRec Tip;         // 5.4
  tFiscTaxSumTable TaxSums;    // 5.2, by tax index
  tFiscCounterRec Declared;    // 5.5
  tFiscCounterRec Difference;  // 5.6
  tFiscCounterRec Drawer;      // 5.7
  tFiscCounterRec PettyCash;   // 5.8
  bool operator==(const tFiscClosingRec&) const = default;
};

struct tFiscPaymentMediaRec {
  int32_t MediaNo = 0;      // k.1.1
  tFiscText<80> MediaName;  // k.1.2
  tFiscText<80> MediaText;  // k.1.3
  bool operator==(const tFiscPaymentMediaRec&) const = default;
};

// Payments and media counts (kinds 6, 14, 15, 17 to 21).
struct tFiscPaymentRec {
  int32_t Kind = 0;                  // the record kind, set when a k.1 field arrives
  tFiscPaymentMediaRec Media;        // k.1
  tKvBcd Amount;                     // k.2
  tKvDateTime PayDateTime;           // k.3
  tFiscCurrencyRec ForeignCurrency;  // k.4
  bool operator==(const tFiscPaymentRec&) const = default;
};

// A signature (transaction kind 7, report kind 4), laid out like the block
// signature: k.1 gives the element's long text form, k.2 its string value;
// either replaces the previous content.
struct tFiscSignatureRec : tFiscBytes {};

struct tFiscCounterSlot {
  bool Used = false;
  int32_t Kind = 0;      // the report kind that filled the slot
  tFiscCounterRec Cell;  // k.1 count, k.2 amount, k.3 flag
  bool operator==(const tFiscCounterSlot&) const = default;
};

// The counters of a report; slot i belongs to kFiscReportCounterKinds[i].
struct tFiscReportCountersRec {
  tFiscTotalsRec GrandTotal;  // 18.1, 18.2, 18.3
  std::array<tFiscCounterSlot, kFiscReportCounterKinds.size()> Slots;
  bool operator==(const tFiscReportCountersRec&) const = default;
};

// The two tax tables of a report, by tax index.
struct tFiscReportTaxRec {
  tFiscTaxSumTable TaxTotal;   // report kind 3
  tFiscTaxSumTable TaxSingle;  // report kind 27
  bool operator==(const tFiscReportTaxRec&) const = default;
};

struct tFiscMediaCell {
  bool Present = false;  // set when the cell receives a field
  tFiscCounterRec Cell;
  bool operator==(const tFiscMediaCell&) const = default;
};

// The totals of one payment medium (report kind 15).
struct tFiscReportMediaRec {
  tFiscIdTextRec Media;    // 15.1
  tFiscMediaCell Sales;    // 15.2
  tFiscMediaCell Change;   // 15.3
  tFiscMediaCell PaidIn;   // 15.4
  tFiscMediaCell PaidOut;  // 15.5
  tFiscMediaCell Drawer;   // 15.6
  bool operator==(const tFiscReportMediaRec&) const = default;
};

// One main group (report kinds 16 and 17, delivered with selector 0 or 1).
struct tFiscReportGroupRec {
  tFiscIdTextRec Group;  // k.1
  tFiscCounterRec Cell;  // k.2
  bool operator==(const tFiscReportGroupRec&) const = default;
};

// An event entry's data.
struct tFiscEventRec {
  tFiscIdTextRec Info;   // 2.1 number, 2.2 name
  tFiscIdTextRec Value;  // 3.1 number, 3.2 name
  bool operator==(const tFiscEventRec&) const = default;
};

// ---------------------------------------------------------------------------
// Storing a field. path: the identifiers below the record kind, ending with
// the field's own (see the header comment). Each returns false when the
// record does not know the path (nothing is stored) or cannot hold the value:
// a tax index outside 0-8 is kept in the pending value, so that the tax
// record is dropped when it closes instead of landing in a wrong slot; a
// binary value above 1024 bytes leaves the field empty. The caller reports
// such a field as unhandled data.
// ---------------------------------------------------------------------------

// Value kinds from an element (item 1).
int32_t FiscInteger(const tKvKPosData& element);
bool FiscFlag(const tKvKPosData& element);

// Composite values; path relative to the field that holds them.
bool FiscStoreField(tFiscNumTextRec& rec, tFiscPath path, const tKvKPosData& element);
bool FiscStoreField(tFiscIdTextRec& rec, tFiscPath path, const tKvKPosData& element);
bool FiscStoreField(tFiscCurrencyRec& rec, tFiscPath path, const tKvKPosData& element);
bool FiscStoreField(tFiscCounterRec& rec, tFiscPath path, const tKvKPosData& element);
bool FiscStoreField(tFiscAmountPairRec& rec, tFiscPath path, const tKvKPosData& element);
bool FiscStoreField(tFiscTotalsRec& rec, tFiscPath path, const tKvKPosData& element);
bool FiscStoreField(tFiscTaxSumRec& rec, tFiscPath path, const tKvKPosData& element);
bool FiscStoreField(tFiscModifierRec& rec, tFiscPath path, const tKvKPosData& element);
// Pending item tax: 1 TaxIndex (refused outside 0-8), 2 Amount.
bool FiscStoreItemTaxField(tFiscItemTaxRec& pending, tFiscPath path, const tKvKPosData& element);

// Records. Fields of sub-records go to the pending values the evaluator holds
// until the sub-record closes.
bool FiscStoreHeaderField(tFiscHeaderRec& rec, tFiscPath path, const tKvKPosData& element);
bool FiscStoreEventHeaderField(tFiscHeaderRec& rec, tFiscPath path, const tKvKPosData& element);
// Not k.5: the linked article has its own record.
bool FiscStoreSaleItemField(tFiscSaleItemRec& rec, tFiscItemTaxRec& pendingTax,
                            tFiscModifierRec& pendingModifier, tFiscPath path,
                            const tKvKPosData& element);
// path below k.5 (for k.5.6.2: {6, 2}).
bool FiscStorePLULinkField(tFiscPLULinkRec& rec, tFiscModifierRec& pendingModifier, tFiscPath path,
                           const tKvKPosData& element);
bool FiscStoreAdjustField(tFiscAdjustRec& rec, tFiscItemTaxRec& pendingTax, tFiscPath path,
                          const tKvKPosData& element);
bool FiscStoreDepositField(tFiscDepositRec& rec, tFiscPath path, const tKvKPosData& element);
// 5.2.x go to the pending summary; 5.2 without sub-field is ignored (true).
bool FiscStoreClosingField(tFiscClosingRec& rec, tFiscTaxSumRec& pendingTaxSum, tFiscPath path,
                           const tKvKPosData& element);
bool FiscStorePaymentField(tFiscPaymentRec& rec, int32_t kind, tFiscPath path,
                           const tKvKPosData& element);
// k.1: long text form, k.2: string value. A value above 1024 bytes leaves
// the signature empty and returns false.
bool FiscStoreSignatureField(tFiscSignatureRec& rec, tFiscPath path, const tKvKPosData& element);
bool FiscStoreReportMediaField(tFiscReportMediaRec& rec, tFiscPath path,
                               const tKvKPosData& element);
bool FiscStoreReportGroupField(tFiscReportGroupRec& rec, tFiscPath path,
                               const tKvKPosData& element);

// ---------------------------------------------------------------------------
// Storing a pending value when its record closes. Each clears pending.
// ---------------------------------------------------------------------------

// Slot pending.TaxIndex := Used, TaxIndex, Amount (a later one replaces an
// earlier one). An index outside 0-8 stores nothing and returns false.
bool FiscStoreItemTax(tFiscItemTaxTable& taxes, tFiscItemTaxRec& pending);
// Slot pending.TaxIndex := Used and the whole summary; outside 0-8 as above.
bool FiscStoreTaxSum(tFiscTaxSumTable& table, tFiscTaxSumRec& pending);
// The slot of reportKind := Used, Kind, the cell; false (nothing stored) for
// a kind without slot.
bool FiscStoreReportCounter(tFiscReportCountersRec& rec, int32_t reportKind,
                            tFiscCounterRec& pending);
