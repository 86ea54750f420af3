// tFiscalStreamEvalReports: the table "Report.csv": for each report entry
// (registration start and end, fiscal report) one line per used counter
// slot, then one line per used slot of its two tax tables, numbered by
// REC_NO across all of them and linked to the report's Register line.
#pragma once

#include <cstdint>
#include <memory>

#include "idea/FiscalStreamPickerIDEA.h"

class tFiscalStreamEvalReports final : public tFiscalStreamPickerIDEA {
 public:
  tFiscalStreamEvalReports(tIdeaContext& context, std::unique_ptr<tKvFiscalStreamPicker> next);
  void Header(const tFiscHeaderRec& rec) override;
  void ReportCounters(const tFiscReportCountersRec& rec) override;
  void ReportTax(const tFiscReportTaxRec& rec) override;

 private:
  // Columns 1 to 3 of a line: the report's key, the next REC_NO, the kind.
  void StartLine(int32_t reportKind);
  // Columns 12 and 13, and the end of the line.
  void EndLine();
  void WriteTaxTable(const tFiscTaxSumTable& table, int32_t reportKind);

  tFileHdlCSV& CsvFile;
  int32_t RecNo = 0;
};
