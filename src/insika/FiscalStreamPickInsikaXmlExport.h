// tFiscalStreamPickInsikaXmlExport: the picker that writes the signed-
// transaction document. It keeps the records of the current entry and,
// when a signed transaction (entry kinds 1, 2 and 5) or registration end
// (kind 4) ends, adds one "transaction" or "report" element to the root,
// preceded by a "timParams" description of the signing unit the first time
// the unit appears. The elements go to an element writer, which writes
// them out as they come (KvXmlStream.h). Entries of other kinds and unsigned ones
// are left out without a message. The entry state is reset at every entry
// end, so an entry that delivers no header is never written.
//
// A unit's version and certificate come from its signature definition file
// (FiscJnlSignDef.h); the log receives the warning "Certificate not found:
// ..." when there is none and the error "TIM-Version not found: ..." (with
// the version "T.0.0.0") when the file has no status.
//
// The element writer and the log are borrowed and must outlive the
// picker. Failures: EKvXml when an element cannot be made or written, EKvIo
// when a definition file cannot be read.
#pragma once

#include <cstdint>
#include <memory>
#include <set>
#include <string>
#include <utility>
#include <variant>
#include <vector>

#include "eval/KvFiscalStreamPicker.h"
#include "insika/InsikaTlvData.h"
#include "xml/KvXmlElementWriter.h"

class tKvLog;

class tFiscalStreamPickInsikaXmlExport final : public tKvFiscalStreamPicker {
 public:
  // signDefFolder: the folder of the signature definition files (the
  // program folder when blank).
  tFiscalStreamPickInsikaXmlExport(tKvXmlElementWriter& out, std::string signDefFolder,
                                   tKvLog& log,
                                   std::unique_ptr<tKvFiscalStreamPicker> next = nullptr);
  ~tFiscalStreamPickInsikaXmlExport() override;

  void Header(const tFiscHeaderRec& rec) override;
  void SaleItem(const tFiscSaleItemRec& rec) override;
  void Adjust(const tFiscAdjustRec& rec) override;
  void Closing(const tFiscClosingRec& rec) override;
  void Signature(const tFiscSignatureRec& rec) override;
  void ReportCounters(const tFiscReportCountersRec& rec) override;
  void ReportTax(const tFiscReportTaxRec& rec) override;
  void EntryEnd() override;

 private:
  void ResetEntry();
  void WriteEntry();
  void AddHeaderElements();
  void AddItemList();
  void AddSaleItem(const tFiscSaleItemRec& item);
  void AddAdjust(const tFiscAdjustRec& adjust);
  void AddItemTaxes(const tFiscItemTaxTable& taxes, bool thirdParty);
  void AddTaxContainers(const tFiscTaxSumTable& table);
  void AddCounterContainers();
  void DescribeUnit();
  // text by the document's text rule: bytes 128-159 become "_"; a view of
  // a member buffer, valid until the next call.
  std::string_view DocText(std::string_view text);
  // value * 10^shift as a decimal integer, in a member buffer (see DocText).
  std::string_view Integer(const tKvBcd& value, int shift);

  tKvXmlElementWriter& out_;
  std::string sign_def_folder_;
  tKvLog& log_;
  std::set<std::pair<std::string, int32_t>> known_units_;  // taxpayer id, card number
  tInsikaTlvDataTransactItem item_tlv_;

  // The current entry.
  bool skip_entry_ = true;
  bool report_ = false;
  tFiscHeaderRec header_;
  tFiscSignatureRec signature_;
  std::vector<std::variant<tFiscSaleItemRec, tFiscAdjustRec>> items_;  // in delivery order
  tFiscTaxSumTable tax_sums_;
  tFiscReportCountersRec counters_;
  tFiscReportTaxRec report_tax_;

  std::string text_;  // buffers of DocText and Integer
  std::string number_;
};
