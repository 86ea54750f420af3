// Test helpers for the table export: a log that records its entries, and a
// fixture that runs an exporter over scripted events (see
// eval/EvalTestHelp.h) into a scratch folder and reads the tables back.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "eval/EvalTestHelp.h"
#include "idea/FiscalStreamEvalIDEAXML.h"
#include "platform/RegionalSettings.h"
#include "platform/TempDir.h"

namespace idea_test {

using eval_test::tRecordingLog;

// Script of a header record: date-time, document number, register number
// 101, sequence number, operator 1 "Anna".
inline std::string HeaderScript(const tKvDateTime& when, int docNo, int seqNo) {
  return "R1@2 F1=t:" + std::to_string(when.Value) + " R2@3 F1=f:1 F2=s:Anna R0@2 F3=i:" +
         std::to_string(docNo) + " F5=f:101 F9=i:" + std::to_string(seqNo);
}

class ExportFixture : public ::testing::Test {
 protected:
  ExportFixture() { platform::MutableRegionalSettings() = platform::RegionalSettings{}; }

  tFiscalStreamEvalIDEAXML& Exporter() {
    if (!exporter_) {
      exporter_ = std::make_unique<tFiscalStreamEvalIDEAXML>(dir_.Path() + "/", tSupplierRec{},
                                                             column_headers_, log_, nullptr);
    }
    return *exporter_;
  }
  void Play(const std::string& script) { eval_test::Play(Exporter(), script); }
  // Ends the export: tables published, index saved.
  void Close() { Exporter().Close(); }
  // A table's lines without their line ends; none when the file is missing.
  std::vector<std::string> Lines(const std::string& file) const {
    std::vector<std::string> lines;
    if (!dir_.Exists(file)) return lines;
    const std::string text = dir_.Read(file);
    for (size_t start = 0, end; (end = text.find("\r\n", start)) != std::string::npos;
         start = end + 2) {
      lines.push_back(text.substr(start, end - start));
    }
    return lines;
  }

  testing_support::TempDir dir_;
  tRecordingLog log_;
  bool column_headers_ = false;

 private:
  std::unique_ptr<tFiscalStreamEvalIDEAXML> exporter_;
};

}  // namespace idea_test
