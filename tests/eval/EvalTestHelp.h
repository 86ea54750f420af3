// Test helpers for the evaluator framework: a picker that renders every call
// as one token and keeps copies of the records it receives, and a small
// script that drives an evaluator with writer-like events.
//
// Script tokens, separated by blanks:
//   B<id>             BlockStart with block ID <id>
//   E                 EntryStart (journal type 1)      e   EntryEnd
//   V<index>,<value>  SetVersion
//   R<id>@<level>     RecordStart
//   F<id>=<kind>:<v>  Field: kind i integer, b decimal ("12.5"), f digits,
//                     s text ("_" stands for a blank), t date-time seconds,
//                     x binary (hexadecimal digits)
#pragma once

#include <cstdint>
#include <memory>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "eval/KvFiscalStreamEval.h"
#include "eval/KvFiscalStreamPicker.h"
#include "stream/KvBcd.h"
#include "stream/KvKPosComStreamData.h"

namespace eval_test {

// Appends every call to *log (tokens separated by one blank) and keeps the
// records. SetEntryType is not a slot, so it is noticed by the type it
// leaves: the recorder marks the type unknown at each EntryStart and writes
// "SetEntryType(<code>)" before the next call once the type has changed.
class tRecordingPicker : public tKvFiscalStreamPicker {
 public:
  explicit tRecordingPicker(std::string* log, std::string name = {},
                            std::unique_ptr<tKvFiscalStreamPicker> next = nullptr)
      : tKvFiscalStreamPicker(std::move(next)), log_(log), name_(std::move(name)) {
    SetEntryType(Unset());
    seen_ = Unset();
  }

  void Header(const tFiscHeaderRec& rec) override {
    Note("Header");
    headers.push_back(rec);
    tKvFiscalStreamPicker::Header(rec);
  }
  void SaleItem(const tFiscSaleItemRec& rec) override {
    Note("SaleItem");
    sale_items.push_back(rec);
    tKvFiscalStreamPicker::SaleItem(rec);
  }
  void PLULink(const tFiscPLULinkRec& rec) override {
    Note("PLULink");
    links.push_back(rec);
    tKvFiscalStreamPicker::PLULink(rec);
  }
  void Adjust(const tFiscAdjustRec& rec) override {
    Note("Adjust");
    adjusts.push_back(rec);
    tKvFiscalStreamPicker::Adjust(rec);
  }
  void Deposit(const tFiscDepositRec& rec) override {
    Note("Deposit");
    deposits.push_back(rec);
    tKvFiscalStreamPicker::Deposit(rec);
  }
  void Closing(const tFiscClosingRec& rec) override {
    Note("Closing");
    closings.push_back(rec);
    tKvFiscalStreamPicker::Closing(rec);
  }
  void Payment(const tFiscPaymentRec& rec) override {
    Note("Payment");
    payments.push_back(rec);
    tKvFiscalStreamPicker::Payment(rec);
  }
  void Signature(const tFiscSignatureRec& rec) override {
    Note("Signature");
    signatures.push_back(rec);
    tKvFiscalStreamPicker::Signature(rec);
  }
  void ReportCounters(const tFiscReportCountersRec& rec) override {
    Note("ReportCounters");
    counters.push_back(rec);
    tKvFiscalStreamPicker::ReportCounters(rec);
  }
  void ReportTax(const tFiscReportTaxRec& rec) override {
    Note("ReportTax");
    taxes.push_back(rec);
    tKvFiscalStreamPicker::ReportTax(rec);
  }
  void ReportMedia(const tFiscReportMediaRec& rec) override {
    Note("ReportMedia");
    media.push_back(rec);
    tKvFiscalStreamPicker::ReportMedia(rec);
  }
  void ReportGroup(const tFiscReportGroupRec& rec, int32_t selector) override {
    Note("ReportGroup(" + std::to_string(selector) + ")");
    groups.push_back(rec);
    tKvFiscalStreamPicker::ReportGroup(rec, selector);
  }
  void Event(const tFiscEventRec& rec) override {
    Note("Event");
    events.push_back(rec);
    tKvFiscalStreamPicker::Event(rec);
  }
  void BlockEnd() override {
    Note("BlockEnd");
    tKvFiscalStreamPicker::BlockEnd();
  }
  void EntryEnd() override {
    Note("EntryEnd");
    tKvFiscalStreamPicker::EntryEnd();
  }
  void FileHeader(const tKvKPosTextFileHeaderRec& header) override {
    Note("FileHeader");
    tKvFiscalStreamPicker::FileHeader(header);
  }
  void BlockStart(const tKvKPosBlockInfoRec& block) override {
    Note("BlockStart(" + std::to_string(block.ID) + ")");
    tKvFiscalStreamPicker::BlockStart(block);
  }
  void EntryStart(const tKvKPosEntryInfoRec& entry) override {
    Note("EntryStart");
    SetEntryType(Unset());
    seen_ = Unset();
    tKvFiscalStreamPicker::EntryStart(entry);
  }

  std::vector<tFiscHeaderRec> headers;
  std::vector<tFiscSaleItemRec> sale_items;
  std::vector<tFiscPLULinkRec> links;
  std::vector<tFiscAdjustRec> adjusts;
  std::vector<tFiscDepositRec> deposits;
  std::vector<tFiscClosingRec> closings;
  std::vector<tFiscPaymentRec> payments;
  std::vector<tFiscSignatureRec> signatures;
  std::vector<tFiscReportCountersRec> counters;
  std::vector<tFiscReportTaxRec> taxes;
  std::vector<tFiscReportMediaRec> media;
  std::vector<tFiscReportGroupRec> groups;
  std::vector<tFiscEventRec> events;

 private:
  static tKvKPosFiscalType Unset() {
    tKvKPosFiscalType t;
    t.Code = -999;
    return t;
  }
  void Note(const std::string& call) {
    if (!(entry_type() == seen_)) {
      seen_ = entry_type();
      Append("SetEntryType(" + std::to_string(seen_.Code) + ")");
    }
    Append(call);
  }
  void Append(const std::string& token) {
    if (!log_->empty()) *log_ += ' ';
    *log_ += name_ + token;
  }

  std::string* log_;
  std::string name_;
  tKvKPosFiscalType seen_;
};

inline std::unique_ptr<tKvKPosData> MakeElement(char kind, const std::string& value) {
  switch (kind) {
    case 'i':
      return std::make_unique<tKvKPosDataInt>(std::stoi(value));
    case 'b':
      return std::make_unique<tKvKPosDataBcd>(tKvBcd::FromText(value));
    case 'f':
      return std::make_unique<tKvKPosDataBcdFix>(tKvBcdFix::FromText(value));
    case 't':
      return std::make_unique<tKvKPosDataTime>(tKvDateTime(std::stoll(value)));
    case 'x': {
      std::string bytes;
      for (size_t i = 0; i + 1 < value.size(); i += 2) {
        bytes += static_cast<char>(std::stoi(value.substr(i, 2), nullptr, 16));
      }
      return std::make_unique<tKvKPosDataBinary>(bytes);
    }
    default: {
      std::string text = value;
      for (char& c : text) {
        if (c == '_') c = ' ';
      }
      return std::make_unique<tKvKPosDataStr>(text);
    }
  }
}

// Runs a script (see the header comment) against eval.
inline void Play(tKvFiscalStreamEval& eval, const std::string& script) {
  std::istringstream in(script);
  std::string token;
  while (in >> token) {
    const std::string rest = token.substr(1);
    switch (token[0]) {
      case 'B': {
        tKvKPosBlockInfoRec block;
        block.ID = std::stoi(rest);
        eval.BlockStart(block);
        break;
      }
      case 'E': {
        tKvKPosEntryInfoRec entry;
        entry.Type = 1;
        eval.EntryStart(entry);
        break;
      }
      case 'e':
        eval.EntryEnd();
        break;
      case 'V': {
        const size_t comma = rest.find(',');
        eval.SetVersion(std::stoi(rest.substr(0, comma)), std::stoi(rest.substr(comma + 1)));
        break;
      }
      case 'R': {
        const size_t at = rest.find('@');
        if (at == std::string::npos) throw std::invalid_argument("bad script token: " + token);
        eval.RecordStart(std::stoi(rest.substr(0, at)), std::stoi(rest.substr(at + 1)));
        break;
      }
      case 'F': {
        const size_t eq = rest.find('=');
        if (eq == std::string::npos || rest.size() < eq + 3 || rest[eq + 2] != ':') {
          throw std::invalid_argument("bad script token: " + token);
        }
        const std::unique_ptr<tKvKPosData> element = MakeElement(rest[eq + 1], rest.substr(eq + 3));
        eval.Field(std::stoi(rest.substr(0, eq)), *element);
        break;
      }
      default:
        throw std::invalid_argument("bad script token: " + token);
    }
  }
}

inline tKvBcd Bcd(const char* text) { return tKvBcd::FromText(text); }

}  // namespace eval_test
