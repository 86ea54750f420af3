#include "stream/KvKPosValue.h"

#include <gtest/gtest.h>

#include <string>
#include <typeinfo>

#include "stream/FiscalStreamTestHelp.h"

namespace {

using fisc_test::EveryValue;
using fisc_test::Render;

// "<class>:<kind>=<long text>" of an element: what tells two elements apart.
std::string Describe(const tKvKPosData& e) {
  return std::string(typeid(e).name()) + ":" + Render(e) + "/" + e.GetText(false);
}

// The element built on the stack for a reader is the element a keeper
// gets, and the one the element constructors of the item sink's helpers
// made before values existed.
TEST(KvKPosValue, BothElementsAgree) {
  const struct {
    tKvKPosValue Value;
    std::unique_ptr<tKvKPosData> Expected;
  } cases[] = {
      {tKvKPosValue::Int(-7), std::make_unique<tKvKPosDataInt>(-7)},
      {tKvKPosValue::Bcd(tKvBcd::FromText("-12.50")),
       std::make_unique<tKvKPosDataBcd>(tKvBcd::FromText("-12.50"))},
      {tKvKPosValue::BcdFix(tKvBcdFix::FromText("4711")),
       std::make_unique<tKvKPosDataBcdFix>(tKvBcdFix::FromText("4711"))},
      {tKvKPosValue::Time(tKvDateTime(1234567)),
       std::make_unique<tKvKPosDataTime>(tKvDateTime(1234567))},
      {tKvKPosValue::Text("Einlage Wechselgeld"),
       std::make_unique<tKvKPosDataStr>(std::string("Einlage Wechselgeld"))},
      {tKvKPosValue::Binary(std::string_view("\x01\x02", 2)),
       std::make_unique<tKvKPosDataBinary>(std::string("\x01\x02", 2))},
  };
  for (const auto& c : cases) {
    const std::string expected = Describe(*c.Expected);
    EXPECT_EQ(Describe(*c.Value.MakeElement()), expected);
    int calls = 0;
    c.Value.WithElement([&](const tKvKPosData& e) {
      ++calls;
      EXPECT_EQ(Describe(e), expected);
    });
    EXPECT_EQ(calls, 1);
  }
  // A lent element is handed on itself; a keeper gets a copy.
  const tKvKPosDataBcdFix lent(tKvBcdFix::FromText("12"));
  const tKvKPosValue borrowed = tKvKPosValue::Borrowed(lent);
  borrowed.WithElement([&](const tKvKPosData& e) { EXPECT_EQ(&e, &lent); });
  EXPECT_EQ(Describe(*borrowed.MakeElement()), Describe(lent));
  for (const tKvKPosValue& value : EveryValue()) {
    value.WithElement(
        [&](const tKvKPosData& e) { EXPECT_EQ(Describe(e), Describe(*value.MakeElement())); });
  }
}

}  // namespace
