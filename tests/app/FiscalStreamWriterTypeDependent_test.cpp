#include "app/FiscalStreamWriterTypeDependent.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "app/Log.h"
#include "eval/EvalTestHelp.h"
#include "eval/InputTestHelp.h"
#include "platform/TempDir.h"

namespace {

using ::testing::HasSubstr;
using ::testing::Not;

// Sends one entry of each type (record 201, field 1, a link) through a writer
// that wants the journal types 1 and 5 (IDEA) or 1 (INSIKA). The evaluator
// sees the wanted entries and the links of the others, the writers behind
// every event, the log one warning per other entry.
TEST(FiscalStreamWriterTypeDependent, OtherTypesAreLoggedAndDropped) {
  const int32_t types[] = {2, 5, 1, 300, -1};
  for (const bool idea : {true, false}) {
    const testing_support::TempDir dir;
    std::string evaluated, passed;
    {
      tLog log(dir.Path("ExportInfo.txt"), true);
      eval_test::tRecordingEval eval(&evaluated, "", true);
      auto next = std::make_unique<input_test::tRecorder>();
      const input_test::tRecorder& recorder = *next;
      tFiscalStreamWriterTypeDependent writer(
          tFiscalStreamWriterTypeDependent::tTypeSet().set(1).set(5, idea), &log, true, &eval,
          std::move(next));
      for (const int32_t type : types) {
        tKvKPosEntryInfoRec entry;
        entry.Type = type;
        writer.EntryStart(entry);
        writer.RecordStart(201, 1);
        writer.AddInteger(1, 5);
        writer.Link(9);
        writer.EntryEnd();
      }
      EXPECT_FALSE(writer.skip_entry());  // the last entry was skipped, up to its end
      passed = recorder.Events;
    }
    std::string wanted, all;
    for (const int32_t type : types) {
      const std::string t = std::to_string(type), sep = all.empty() ? "" : " ";
      all += sep + "Jnl(" + t + ",0,0,0) Rec(201,1) Fld(1,I:5) Link(9) EoE";
      const bool kept = type == 1 || (type == 5 && idea);
      wanted += sep + (kept ? "Jnl(" + t + ") Rec(201,1) Fld(1=5) Link(9) EoE" : "Link(9)");
    }
    EXPECT_EQ(evaluated, wanted);
    EXPECT_EQ(passed, all);
    const std::string text = dir.Read("ExportInfo.txt");
    EXPECT_THAT(text, HasSubstr("  => Warning: Unexpected fiscal type: \xD6sterreich (2) (2) -> "
                                "ignored! [WARNING]\r\n"));
    EXPECT_THAT(text, HasSubstr("(300) (300) -> ignored!"));
    EXPECT_THAT(text, HasSubstr("(-1) (-1) -> ignored!"));
    EXPECT_EQ(text.find("Deutschland (5) (5) -> ignored!") != std::string::npos, !idea);
    EXPECT_THAT(text, Not(HasSubstr("(1) -> ignored")));
  }
}

}  // namespace
