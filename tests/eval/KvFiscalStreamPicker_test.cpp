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
  head.BlockEnd(), head.EntryEnd(), head.FileHeader({});
  std::string expected;
  for (const char* op : {"Header", "SaleItem", "PLULink", "Adjust", "Deposit", "Closing", "Payment",
                         "Signature", "ReportCounters", "ReportTax", "ReportMedia",
                         "ReportGroup(1)", "Event", "BlockEnd", "EntryEnd", "FileHeader"}) {
    expected += std::string(expected.empty() ? "" : " ") + "A." + op + " B." + op;
  }
  EXPECT_EQ(log, expected);
}

TEST(Picker, EveryPickerKeepsItsOwnCopyOfWhereTheRecordsComeFrom) {
  tKvFiscalStreamPicker head(std::make_unique<tKvFiscalStreamPicker>());
  tKvKPosTextFileHeaderRec header;
  header.Text = "hdr";
  tKvKPosBlockInfoRec block;
  block.ID = 8;
  tKvKPosEntryInfoRec entry;
  entry.Type = 5;
  head.FileHeader(header);
  head.BlockStart(block);
  head.EntryStart(entry);
  head.SetEntryType(DecodeFiscalType(2004));
  block.ID = 9;
  for (const tKvFiscalStreamPicker* p = &head; p != nullptr; p = p->next()) {
    EXPECT_EQ(eval_test::Row(p->file_header().Text, p->block().ID, p->entry().Type,
                             p->entry_type().Kind, p->entry_type().Origin),
              "hdr|8|5|4|2");
  }
  EXPECT_EQ(head.next()->next(), nullptr);
}

}  // namespace
