#include "app/FiscalStreamWriterTypeDependent.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "app/Log.h"
#include "eval/InputTestHelp.h"
#include "eval/KvFiscalStreamEval.h"
#include "platform/TempDir.h"

namespace {

using ::testing::HasSubstr;
using ::testing::Not;
using testing_support::TempDir;
using tTypes = tFiscalStreamWriterTypeDependent::tTypeSet;

// Renders the evaluator operations that carry entry content.
class tEntryEval final : public tKvFiscalStreamEval {
 public:
  std::string events;
  void EntryStart(const tKvKPosEntryInfoRec& info) override {
    Put("Jnl(" + std::to_string(info.Type) + ")");
    tKvFiscalStreamEval::EntryStart(info);
  }
  void EntryEnd() override {
    Put("EoE");
    tKvFiscalStreamEval::EntryEnd();
  }
  void RecordStart(int32_t id, int32_t level) override {
    Put("Rec(" + std::to_string(id) + "," + std::to_string(level) + ")");
    tKvFiscalStreamEval::RecordStart(id, level);
  }
  void Field(int32_t id, const tKvKPosData& element) override {
    Put("Fld(" + std::to_string(id) + ")");
    tKvFiscalStreamEval::Field(id, element);
  }

 private:
  void Put(const std::string& token) {
    if (!events.empty()) events += ' ';
    events += token;
  }
};

tTypes Types(std::initializer_list<int> types) {
  tTypes set;
  for (const int t : types) set.set(static_cast<size_t>(t));
  return set;
}

struct tResult {
  std::string evaluated;  // what the evaluator saw
  std::string passed;     // what the next writer saw
  std::string log;        // the log file
};

// Sends one entry of each type (record 201, field 1) through the writer.
tResult Send(const tTypes& types, const std::vector<int32_t>& entryTypes) {
  const TempDir dir;
  tResult result;
  {
    tLog log(dir.Path("ExportInfo.txt"), true);
    tEntryEval eval;
    auto next = std::make_unique<input_test::tRecorder>();
    input_test::tRecorder* recorder = next.get();
    tFiscalStreamWriterTypeDependent writer(types, &log, true, &eval, std::move(next));
    for (const int32_t type : entryTypes) {
      tKvKPosEntryInfoRec entry;
      entry.Type = type;
      writer.EntryStart(entry);
      writer.RecordStart(201, 1);
      writer.AddInteger(1, 5);
      writer.EntryEnd();
    }
    result.evaluated = eval.events;
    result.passed = recorder->events;
    eval.Close();
    log.Close();
  }
  result.log = dir.Read("ExportInfo.txt");
  return result;
}

TEST(FiscalStreamWriterTypeDependent, IdeaModeKeepsTypesOneAndFive) {
  const tResult r = Send(Types({1, 5}), {1, 5});
  EXPECT_EQ(r.evaluated, "Jnl(1) Rec(201,1) Fld(1) EoE Jnl(5) Rec(201,1) Fld(1) EoE");
  EXPECT_THAT(r.log, Not(HasSubstr("Unexpected fiscal type")));
}

TEST(FiscalStreamWriterTypeDependent, OtherTypesAreLoggedAndDropped) {
  const tResult r = Send(Types({1}), {5, 1, 2, 300, -1});
  EXPECT_EQ(r.evaluated, "Jnl(1) Rec(201,1) Fld(1) EoE");
  // The writers behind still receive every event.
  EXPECT_EQ(r.passed,
            "Jnl(5,0,0,0) Rec(201,1) Fld(1,I:5) EoE Jnl(1,0,0,0) Rec(201,1) Fld(1,I:5) EoE "
            "Jnl(2,0,0,0) Rec(201,1) Fld(1,I:5) EoE Jnl(300,0,0,0) Rec(201,1) Fld(1,I:5) EoE "
            "Jnl(-1,0,0,0) Rec(201,1) Fld(1,I:5) EoE");
  EXPECT_THAT(
      r.log,
      HasSubstr("=> Warning: Unexpected fiscal type: Deutschland (5) (5) -> ignored! [WARNING]"));
  EXPECT_THAT(r.log, HasSubstr("=> Warning: Unexpected fiscal type: \xD6sterreich (2) (2) -> "
                               "ignored! [WARNING]"));
  EXPECT_THAT(r.log, HasSubstr("(300) (300) -> ignored!"));
  EXPECT_THAT(r.log, HasSubstr("(-1) (-1) -> ignored!"));
}

}  // namespace
