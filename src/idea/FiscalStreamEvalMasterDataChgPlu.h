// tFiscalStreamEvalMasterDataChgPlu: the table "MasterDataChgPlu.csv", a
// line each time an article shows up in an event entry with a name other
// than the one last recorded for its number. The first sighting of an
// article is only recorded. The known articles (number and latest name) are
// kept for the whole export in a sorted map: lookup and insertion cost
// logarithmic time; the memory grows with the number of distinct articles.
#pragma once

#include <map>
#include <memory>
#include <vector>

#include "idea/FiscalStreamPickerIDEA.h"

class tFiscalStreamEvalMasterDataChgPlu final : public tFiscalStreamPickerIDEA {
 public:
  tFiscalStreamEvalMasterDataChgPlu(tIdeaContext& context,
                                    std::unique_ptr<tKvFiscalStreamPicker> next);
  void Header(const tFiscHeaderRec& rec) override;
  void SaleItem(const tFiscSaleItemRec& rec) override;
  void PLULink(const tFiscPLULinkRec& rec) override;

  size_t KnownArticleCount() const { return KnownArticles.size(); }

 private:
  void Record(const tFiscNumTextRec& article);

  tFileHdlCSV& CsvFile;
  std::map<tKvBcdFix, tFiscText<80>> KnownArticles;
  // The linked articles of the sale item to come (their numbers and names).
  std::vector<tFiscNumTextRec> Links;
};
