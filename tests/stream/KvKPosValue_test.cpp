#include "stream/KvKPosValue.h"

#include <gtest/gtest.h>

#include <string>
#include <typeinfo>

#include "stream/FiscalStreamTestHelp.h"

namespace {

// "<class>:<kind>=<text>/<long text>": what tells two elements apart.
std::string Describe(const tKvKPosData& e) {
  return typeid(e).name() + (":" + fisc_test::Render(e)) + "/" + e.GetText(false);
}

// The element a reader gets on the stack, the one a keeper gets, and the
// one the element's own constructor makes are alike; a lent element is
// handed on itself, a keeper gets a copy.
TEST(KvKPosValue, ElementsAgree) {
  const tKvBcd bcd = tKvBcd::FromText("-12.50");
  const tKvBcdFix fix = tKvBcdFix::FromText("4711");
  const tKvKPosDataStrAI ai(std::string("x"));
  const std::pair<tKvKPosValue, std::unique_ptr<tKvKPosData>> cases[] = {
      {tKvKPosValue::Int(-7), std::make_unique<tKvKPosDataInt>(-7)},
      {tKvKPosValue::Bcd(bcd), std::make_unique<tKvKPosDataBcd>(bcd)},
      {tKvKPosValue::BcdFix(fix), std::make_unique<tKvKPosDataBcdFix>(fix)},
      {tKvKPosValue::Time(tKvDateTime(1234567)),
       std::make_unique<tKvKPosDataTime>(tKvDateTime(1234567))},
      {tKvKPosValue::Text("Einlage Wechselgeld"),
       std::make_unique<tKvKPosDataStr>("Einlage Wechselgeld")},
      {tKvKPosValue::Binary("\x01\x02"), std::make_unique<tKvKPosDataBinary>("\x01\x02")},
      {tKvKPosValue::Borrowed(ai), std::make_unique<tKvKPosDataStrAI>("x")},
  };
  for (const auto& [value, expected] : cases) {
    const std::string want = Describe(*expected);  // a lambda may not capture a binding
    EXPECT_EQ(Describe(*value.MakeElement()), want);
    int calls = 0;
    value.WithElement([&](const tKvKPosData& e) { calls += Describe(e) == want; });
    EXPECT_EQ(calls, 1) << want;
  }
  const tKvKPosDataInt lent(5);
  tKvKPosValue::Borrowed(lent).WithElement([&](const tKvKPosData& e) { EXPECT_EQ(&e, &lent); });
}

}  // namespace
