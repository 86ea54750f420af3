#include "eval/KvFiscalStreamPicker.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "EvalTestHelp.h"

namespace {

using eval_test::tRecordingPicker;

TEST(Picker, EveryOperationPassesAlongTheChain) {
  std::string log;
  tRecordingPicker head(&log, "A.", std::make_unique<tRecordingPicker>(&log, "B."));
  head.Header({});
  head.SaleItem({});
  head.PLULink({});
  head.Adjust({});
  head.Deposit({});
  head.Closing({});
  head.Payment({});
  head.Signature({});
  head.ReportCounters({});
  head.ReportTax({});
  head.ReportMedia({});
  head.ReportGroup({}, 1);
  head.Event({});
  head.BlockEnd();
  head.EntryEnd();
  head.FileHeader({});
  EXPECT_EQ(log,
            "A.Header B.Header A.SaleItem B.SaleItem A.PLULink B.PLULink A.Adjust B.Adjust "
            "A.Deposit B.Deposit A.Closing B.Closing A.Payment B.Payment A.Signature B.Signature "
            "A.ReportCounters B.ReportCounters A.ReportTax B.ReportTax A.ReportMedia "
            "B.ReportMedia A.ReportGroup(1) B.ReportGroup(1) A.Event B.Event A.BlockEnd B.BlockEnd "
            "A.EntryEnd B.EntryEnd A.FileHeader B.FileHeader");
}

TEST(Picker, EveryPickerKeepsWhereTheRecordsComeFrom) {
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
  block.ID = 9;  // the pickers keep their own copies
  for (const tKvFiscalStreamPicker* p = &head; p != nullptr; p = p->next()) {
    EXPECT_EQ(p->file_header().Text, "hdr");
    EXPECT_EQ(p->block().ID, 8);
    EXPECT_EQ(p->entry().Type, 5);
    EXPECT_EQ(p->entry_type().Kind, 4);
    EXPECT_EQ(p->entry_type().Origin, 2);
  }
  ASSERT_NE(head.next(), nullptr);
  EXPECT_EQ(head.next()->next(), nullptr);
}

}  // namespace
