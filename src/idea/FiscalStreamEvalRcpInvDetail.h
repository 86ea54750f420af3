// tFiscalStreamEvalRcpInvDetail: the transaction detail tables, one line per
// article sale (followed by the articles linked to it), adjustment and
// deposit, numbered by REC_NO within the transaction and linked to its
// header line by DOC_KEY_LINK. Three files by transaction category, like the
// header tables: "TransactDetail.csv", "BookMemDetail.csv" and
// "MiscTransDetail.csv". A sale item without an article number is not
// written, nor are its linked articles.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <vector>

#include "idea/FiscalStreamPickerIDEA.h"

class tFiscalStreamEvalRcpInvDetail final : public tFiscalStreamPickerIDEA {
 public:
  tFiscalStreamEvalRcpInvDetail(tIdeaContext& context, std::unique_ptr<tKvFiscalStreamPicker> next);
  void Header(const tFiscHeaderRec& rec) override;
  void SaleItem(const tFiscSaleItemRec& rec) override;
  void PLULink(const tFiscPLULinkRec& rec) override;
  void Adjust(const tFiscAdjustRec& rec) override;
  void Deposit(const tFiscDepositRec& rec) override;

 private:
  // The file of the entry's category; the key and record number of a new line.
  tFileHdlCSV& StartLine();
  // The register number and the end of the line.
  void EndLine(tFileHdlCSV& csv);
  void WriteTaxes(tFileHdlCSV& csv, const tFiscItemTaxTable& taxes);

  tIdeaCategoryFiles CsvFiles;
  int32_t RecNo = 0;
  // The linked articles of the sale item to come; the storage is reused.
  std::vector<tFiscPLULinkRec> Links;
  size_t LinkCount = 0;
};
