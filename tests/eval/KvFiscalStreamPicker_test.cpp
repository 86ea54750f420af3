#include "eval/KvFiscalStreamPicker.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "EvalTestHelp.h"

namespace {

TEST(Picker, EveryOperationPassesAlongTheChain) {
  std::string log;
  eval_test::tRecordingPicker head(&log, "A.",
                                   std::make_unique<eval_test::tRecordingPicker>(&log, "B."));
  head.Header({}), head.SaleItem({}), head.PLULink({}), head.Adjust({}), head.Deposit({});
  head.Closing({}), head.Payment({}), head.Signature({}), head.ReportCounters({});
  head.ReportTax({}), head.ReportMedia({}), head.ReportGroup({}, 1), head.Event({});
  tKvKPosTextFileHeaderRec header;
  header.Text = "hdr";
  head.BlockEnd(), head.EntryEnd(), head.FileHeader(header);
  std::string expected;
  for (const char* op : {"Header", "SaleItem", "PLULink", "Adjust", "Deposit", "Closing", "Payment",
                         "Signature", "ReportCounters", "ReportTax", "ReportMedia",
                         "ReportGroup(1)", "Event", "BlockEnd", "EntryEnd", "FileHeader"}) {
    expected += std::string(expected.empty() ? "" : " ") + "A." + op + " B." + op;
  }
  EXPECT_EQ(log, expected);
  EXPECT_EQ(head.next()->file_header().Text, "hdr");  // every picker keeps the records
}

}  // namespace
