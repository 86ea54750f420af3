// The picker of the journal view. tKvFiscalStreamPickerJnlView collects the
// records of one entry and, when the entry ends, writes it as a block of
// text lines to its line sink: the header block, the item lines (built as
// the item records arrive), the closing block, the payments and the closing
// notes (report sections, taxpayer ID, signature, voucher sequence). An
// entry that delivered no record writes nothing; consecutive entries are
// separated by two empty lines. tFiscalStreamPickerJnlView is the view the
// conversion run uses, with the German captions.
//
// The line sink is borrowed and must outlive the picker. The entry's lists
// keep their storage from entry to entry, so memory follows the largest
// entry, not the journal. Failures are those of the sink. The picker runs
// on one thread at a time (in a conversion run, the view's relay thread,
// KvFiscalStreamPickerRelay.h); its captions are views
// into the read-only caption table (FiscCaptions.h), and the empty records
// it reads for those an entry lacks are shared, read-only, by all pickers.
#pragma once

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "base/KvByteLine.h"
#include "eval/JnlViewText.h"
#include "eval/KvFiscalStreamPicker.h"
#include "eval/KvKPosFiscalStreamHelp.h"

class tKvFiscalDataDestAscii;

class tKvFiscalStreamPickerJnlView : public tKvFiscalStreamPicker {
 public:
  // How long the header, closing, signature and report records the picker
  // receives stay valid: only during the call (they are copied until the
  // entry ends), or unchanged until the next record of their type (they are
  // read where they are, as a relay that keeps them allows).
  enum class tRecordLife : uint8_t { kDuringCall, kUntilNextOfType };

  // dest: not owned; next: the rest of the picker chain (may be empty).
  explicit tKvFiscalStreamPickerJnlView(tKvFiscalDataDestAscii* dest,
                                        std::unique_ptr<tKvFiscalStreamPicker> next = nullptr,
                                        tRecordLife life = tRecordLife::kDuringCall);
  ~tKvFiscalStreamPickerJnlView() override;

  // Item records become item lines at once (a linked article waits for the
  // sale item that encloses it); the others are kept for the entry's end.
  // Each marks the entry as having content, then passes the record on.
  void Header(const tFiscHeaderRec& rec) override;
  void SaleItem(const tFiscSaleItemRec& rec) override;
  void PLULink(const tFiscPLULinkRec& rec) override;
  void Adjust(const tFiscAdjustRec& rec) override;
  void Deposit(const tFiscDepositRec& rec) override;
  void Closing(const tFiscClosingRec& rec) override;
  void Payment(const tFiscPaymentRec& rec) override;
  void Signature(const tFiscSignatureRec& rec) override;
  void ReportCounters(const tFiscReportCountersRec& rec) override;
  void ReportTax(const tFiscReportTaxRec& rec) override;
  void ReportMedia(const tFiscReportMediaRec& rec) override;
  void ReportGroup(const tFiscReportGroupRec& rec, int32_t selector) override;
  void Event(const tFiscEventRec& rec) override;
  // Writes the entry when it has content, then forgets it; passed on.
  void EntryEnd() override;

 private:
  // A list whose elements (and their own storage) are reused by the next
  // entry: Clear() only forgets the count.
  template <typename T>
  class tReusedList {
   public:
    void Add(const T& value) { Next() = value; }
    // The next element, as the previous entry left it.
    T& Next() {
      if (count_ == items_.size()) items_.emplace_back();
      return items_[count_++];
    }
    void Clear() { count_ = 0; }
    bool empty() const { return count_ == 0; }
    const T* begin() const { return items_.data(); }
    const T* end() const { return items_.data() + count_; }

   private:
    std::vector<T> items_;
    size_t count_ = 0;
  };

  // Item lines, built in their block as the records arrive: a new line
  // holding indent, to be completed in place; a line of the parts.
  tKvByteLine& NewLine(std::string_view indent);
  void AddLine(std::initializer_list<std::string_view> parts);
  void AddTaxLines(const tFiscItemTaxTable& taxes);
  void AddDepartmentLine(const tFiscNumTextRec& department, std::string_view indent);
  void AddModifierLines(const tFiscPluModifierArr& modifiers, std::string_view indent);
  void AddLinkLines(const tFiscPLULinkRec& link);
  void AddEventRefLine(int32_t code, const tFiscIdTextRec& ref);
  // FiscTypeText(entry_type()), made once for a run of entries of one type.
  const std::string& TypeText();

  // A record kept until the entry ends: At is the copy, or the record
  // itself when it stays valid (tRecordLife).
  template <typename Rec>
  struct tKept {
    Rec Copy;
    const Rec* At = nullptr;
  };
  // Keeps rec until the entry ends; bit marks it as the entry's.
  template <typename Rec>
  void Keep(tKept<Rec>& kept, const Rec& rec, uint8_t bit);
  // The record kept with bit by this entry, or an empty one.
  template <typename Rec>
  const Rec& Kept(const tKept<Rec>& kept, uint8_t bit) const;
  void ClearEntry();

  // The blocks written at the entry's end, in this order, as one block of
  // lines handed to the sink at once. A line of the parts; the parts
  // aligned so that right ends in column 70.
  void Put(std::string_view line);
  void Put(std::initializer_list<std::string_view> parts);
  void PutRight(std::initializer_list<std::string_view> left, std::string_view right);
  // A line of indent + the caption of code + ": ": the block's buffer, to
  // complete the line in place; that line completed with text.
  tKvByteLine& Captioned(std::string_view indent, int32_t code);
  void PutCaptioned(std::string_view indent, int32_t code, std::string_view text);
  void WriteEntry();
  void WriteHeader();
  void WriteHeaderDetails();
  void WritePortugueseDetails();
  void WriteClosing();
  void WritePayments();
  void WriteReports();
  void WriteReportTaxTable(const tFiscTaxSumTable& table, int32_t labelCode);
  // The groups under "  Hauptgruppen" + suffix.
  void WriteGroups(const tReusedList<tFiscReportGroupRec>& groups, std::string_view suffix);
  void WriteClosingNotes();
  // One cell line (nothing for an empty cell); when separator is given and
  // set, an empty line goes first and separator is cleared.
  void WriteCell(std::initializer_list<std::string_view> label, const tFiscCounterRec& cell,
                 bool* separator = nullptr);

  // The records kept for the entry's end (bits of kept_).
  enum : uint8_t {
    kHeader = 1,
    kClosing = 2,
    kCounters = 4,
    kReportTax = 8,
    kSignature = 16,
  };

  tKvFiscalDataDestAscii* dest_;
  const tRecordLife life_;
  bool content_ = false;
  bool written_ = false;
  uint8_t kept_ = 0;
  jnl_view::tLineBlock items_;  // the entry's item lines
  jnl_view::tLineBlock text_;   // the entry's text, built at its end
  tKvByteLine right_{128};      // a right-aligned part built apart
  tKvKPosFiscalType type_text_of_;
  std::string type_text_;

  tKept<tFiscHeaderRec> header_;
  tKept<tFiscClosingRec> closing_;
  tKept<tFiscReportCountersRec> counters_;
  tKept<tFiscReportTaxRec> report_tax_;
  tKept<tFiscSignatureRec> signature_;
  tReusedList<tFiscPLULinkRec> links_;
  tReusedList<tFiscPaymentRec> payments_;
  tReusedList<tFiscReportMediaRec> media_;
  tReusedList<tFiscReportGroupRec> groups_[2];
};

class tFiscalStreamPickerJnlView final : public tKvFiscalStreamPickerJnlView {
 public:
  using tKvFiscalStreamPickerJnlView::tKvFiscalStreamPickerJnlView;
};
