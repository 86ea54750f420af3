#include "eval/KvKPosFiscalStreamHelp.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "base/KvErrors.h"
#include "stream/KvKPosComStreamData.h"

namespace {

using Path = std::vector<int32_t>;
using namespace std::string_view_literals;

std::unique_ptr<tKvKPosData> Int(int32_t v) { return std::make_unique<tKvKPosDataInt>(v); }
std::unique_ptr<tKvKPosData> Str(std::string s) {
  return std::make_unique<tKvKPosDataStr>(std::move(s));
}
std::unique_ptr<tKvKPosData> Bin(std::string s) {
  return std::make_unique<tKvKPosDataBinary>(std::move(s));
}
std::unique_ptr<tKvKPosData> Dec(std::string_view text) {
  return std::make_unique<tKvKPosDataBcd>(tKvBcd::FromText(text));
}
std::unique_ptr<tKvKPosData> Fix(std::string_view text) {
  return std::make_unique<tKvKPosDataBcdFix>(tKvBcdFix::FromText(text));
}
std::unique_ptr<tKvKPosData> Time(int64_t seconds) {
  return std::make_unique<tKvKPosDataTime>(tKvDateTime(seconds));
}

tKvBcd B(std::string_view text) { return tKvBcd::FromText(text); }

std::string Text(const Path& path) {
  std::string s;
  for (int32_t id : path) s += (s.empty() ? "" : ".") + std::to_string(id);
  return s;
}

tFiscModifierRec Modifier(int32_t number, std::string name, std::string_view amount) {
  tFiscModifierRec m;
  m.Modifier.Number = number;
  m.Modifier.Name = name;
  m.Amount = B(amount);
  return m;
}

// --- Value kinds -----------------------------------------------------------

TEST(FiscValues, FlagIsTrueOnlyForOne) {
  EXPECT_TRUE(FiscFlag(*Int(1)));
  EXPECT_FALSE(FiscFlag(*Int(0)));
  EXPECT_FALSE(FiscFlag(*Int(2)));
  EXPECT_FALSE(FiscFlag(*Int(-1)));
  EXPECT_FALSE(FiscFlag(*Str("1")));  // not an integer element: 0
}

// Texts are cut to the capacity of their field, whatever the field.
TEST(FiscValues, TextsAreCutToTheirCapacity) {
  struct Case {
    Path path;
    size_t capacity;
    std::string_view (*get)(const tFiscHeaderRec&);
  };
  const Case cases[] = {
      {{10, 1}, 200, [](const tFiscHeaderRec& h) { return h.TaxpayerId.view(); }},
      {{10, 3}, 80, [](const tFiscHeaderRec& h) { return h.ManufacturingId.view(); }},
      {{2, 2}, 80, [](const tFiscHeaderRec& h) { return h.Operator.Name.view(); }},
      {{11}, 3, [](const tFiscHeaderRec& h) { return h.Currency.IsoCode.view(); }},
      {{11, 1}, 3, [](const tFiscHeaderRec& h) { return h.Currency.IsoCode.view(); }},
      {{10, 7, 2, 3}, 100, [](const tFiscHeaderRec& h) { return h.ReceiptCounter.Text.view(); }},
      {{19, 1}, 200, [](const tFiscHeaderRec& h) { return h.Subsequent.Text.view(); }},
      {{21, 3}, 50, [](const tFiscHeaderRec& h) { return h.Customer.Street.view(); }},
      {{21, 5}, 20, [](const tFiscHeaderRec& h) { return h.Customer.PostCode.view(); }},
      {{14}, 100, [](const tFiscHeaderRec& h) { return h.EcrText.view(); }},
  };
  std::string source;
  for (int i = 0; i < 300; ++i) source.push_back(static_cast<char>('A' + i % 26));
  source[7] = '\xE4';  // Windows-1252 bytes pass unchanged
  for (const Case& c : cases) {
    for (size_t length :
         {size_t{0}, size_t{1}, c.capacity - 1, c.capacity, c.capacity + 1, size_t{300}}) {
      tFiscHeaderRec header;
      const std::string value = source.substr(0, length);
      ASSERT_TRUE(FiscStoreHeaderField(header, Path(c.path), *Str(value))) << Text(c.path);
      EXPECT_EQ(c.get(header), source.substr(0, std::min(length, c.capacity)))
          << Text(c.path) << " length " << length;
    }
  }
}

TEST(FiscValues, BytesAreReplacedWholeOrRefused) {
  tFiscBytes bytes;
  EXPECT_TRUE(bytes.Assign(std::string(1024, 'x')));
  EXPECT_EQ(bytes.Length, 1024);
  EXPECT_TRUE(bytes.Assign("abc"));
  EXPECT_EQ(bytes.View(), "abc");
  EXPECT_EQ(bytes.Data[3], '\0');  // nothing stale behind the value
  EXPECT_FALSE(bytes.Assign(std::string(1025, 'y')));
  EXPECT_EQ(bytes.Length, 0);
  EXPECT_EQ(bytes.Data[0], '\0');
  EXPECT_TRUE(bytes.Assign("def"));
  EXPECT_TRUE(bytes.Assign(""));  // an empty value replaces too
  EXPECT_EQ(bytes.Length, 0);
}

// --- Modifier array --------------------------------------------------------

TEST(FiscModifiers, AddGetClearRelease) {
  tFiscPluModifierArr arr;
  tFiscModifierRec pending = Modifier(1, "Extra cheese", "0.5");
  arr.Add(pending);
  EXPECT_EQ(pending, tFiscModifierRec{}) << "Add clears the pending modifier";
  pending = Modifier(2, "No onions", "0");
  arr.Add(pending);
  pending = Modifier(3, "Large", "1.25");
  arr.Add(pending);
  EXPECT_EQ(arr.Count(), 3);
  EXPECT_EQ(arr.Capacity(), 3u);
  EXPECT_EQ(arr.Get(1), Modifier(1, "Extra cheese", "0.5"));
  EXPECT_EQ(arr.Get(3), Modifier(3, "Large", "1.25"));

  arr.Clear();
  EXPECT_EQ(arr.Count(), 0);
  EXPECT_EQ(arr.Capacity(), 3u) << "Clear keeps the storage";
  pending = Modifier(4, "Small", "-1");
  arr.Add(pending);
  EXPECT_EQ(arr.Count(), 1);
  EXPECT_EQ(arr.Capacity(), 3u) << "Add reuses the storage";
  EXPECT_EQ(arr.Get(1), Modifier(4, "Small", "-1"));

  arr.Release();
  EXPECT_EQ(arr.Count(), 0);
  EXPECT_EQ(arr.Capacity(), 0u);
}

TEST(FiscModifiers, IndexOutOfBounds) {
  tFiscPluModifierArr arr;
  tFiscModifierRec pending = Modifier(1, "A", "1");
  arr.Add(pending);
  pending = Modifier(2, "B", "2");
  arr.Add(pending);
  arr.Clear();
  pending = Modifier(3, "C", "3");
  arr.Add(pending);  // storage 2, Count 1: element 2 is stale and must not be reachable
  for (int32_t index : {0, -1, 2, 3, INT32_MIN, INT32_MAX}) {
    try {
      arr.Get(index);
      ADD_FAILURE() << "no exception for index " << index;
    } catch (const EKvMisc& e) {
      EXPECT_STREQ(e.what(), "Modifier: Index out of bounds!") << index;
    }
  }
  EXPECT_EQ(arr.Get(1).Modifier.Name, "C");
}

TEST(FiscModifiers, EqualityLooksAtValidElementsOnly) {
  tFiscPluModifierArr a, b;
  tFiscModifierRec pending = Modifier(9, "X", "1");
  a.Add(pending);
  a.Clear();
  EXPECT_EQ(a, b);
  pending = Modifier(1, "Y", "2");
  a.Add(pending);
  EXPECT_NE(a, b);
}

TEST(FiscRecords, ClearKeepsModifierStorage) {
  tFiscSaleItemRec item;
  tFiscItemTaxRec tax;
  tFiscModifierRec modifier;
  ASSERT_TRUE(FiscStoreSaleItemField(item, tax, modifier, Path{6}, *Str("Cola")));
  ASSERT_TRUE(FiscStoreSaleItemField(item, tax, modifier, Path{7}, *Int(1)));
  ASSERT_TRUE(FiscStoreSaleItemField(item, tax, modifier, Path{8, 1, 2}, *Str("Ice")));
  item.Modifiers.Add(modifier);
  modifier = Modifier(2, "Lemon", "0.1");
  item.Modifiers.Add(modifier);
  item.Kind = 2;
  item.Taxes[1] = {true, 1, B("0.19")};

  item.Clear();
  EXPECT_EQ(item, tFiscSaleItemRec{});
  EXPECT_EQ(item.Modifiers.Count(), 0);
  EXPECT_EQ(item.Modifiers.Capacity(), 2u);

  tFiscPLULinkRec link;
  ASSERT_TRUE(FiscStorePLULinkField(link, modifier, Path{4}, *Str("Lemon")));
  link.Modifiers.Add(modifier);
  link.Clear();
  EXPECT_EQ(link, tFiscPLULinkRec{});
  EXPECT_EQ(link.Modifiers.Capacity(), 1u);
}

// --- Paths -----------------------------------------------------------------

TEST(FiscPaths, HeaderFieldsInTransactionsAndReports) {
  tFiscHeaderRec h;
  const auto store = [&](const Path& path, std::unique_ptr<tKvKPosData> element) {
    EXPECT_TRUE(FiscStoreHeaderField(h, path, *element)) << Text(path);
  };
  store({1}, Time(86400 + 3600));
  store({2, 1}, Fix("42"));
  store({2, 2}, Str("Anna"));
  store({3}, Int(1001));
  store({4}, Int(1));
  store({5}, Fix("7/1"));
  store({6}, Fix("12"));
  store({7}, Int(2));
  store({8}, Int(1));
  store({9}, Int(77));
  store({10, 1}, Str("DE123"));
  store({10, 2}, Int(5));
  store({10, 3}, Str("M-1"));
  store({10, 4}, Int(44));
  store({10, 5}, Int(9));
  store({10, 6}, Bin("\x01\xAB"));
  store({10, 7, 1}, Time(2 * 86400));
  store({10, 7, 2, 1}, Int(10));
  store({10, 7, 2, 2}, Int(11));
  store({10, 7, 2, 3}, Str("RC"));
  store({10, 7, 3}, Str("CM"));
  store({10, 7, 4}, Str("SC"));
  store({10, 8}, Str("P-8"));
  store({11, 2}, Int(978));
  store({11, 1}, Str("EUR"));
  store({11, 3}, Int(3));
  store({12}, Int(20));
  store({13}, Int(19));
  store({14}, Str("Bar"));
  store({15}, Int(1));
  store({16}, Int(16));
  store({17}, Str("INV"));
  store({18}, Str("LNK"));
  store({19, 1}, Str("Late"));
  store({19, 2}, Time(3 * 86400));
  store({20, 1}, Str("ORIG"));
  store({20, 2, 1}, Int(4));
  store({20, 2, 2}, Str("Full"));
  store({20, 3}, Str("Error"));
  store({21, 1}, Str("TAX"));
  store({21, 2}, Str("Name"));
  store({21, 3}, Str("Street"));
  store({21, 4}, Str("City"));
  store({21, 5}, Str("12345"));
  store({21, 6}, Str("DE"));
  store({22, 1}, Int(6));
  store({22, 2}, Str("Z"));

  EXPECT_EQ(h.DateTime, tKvDateTime(86400 + 3600));
  EXPECT_EQ(h.Operator.Number, tKvBcdFix::FromText("42"));
  EXPECT_EQ(h.Operator.Name, "Anna");
  EXPECT_EQ(h.DocNo, 1001);
  EXPECT_TRUE(h.Training);
  EXPECT_EQ(h.EcrNo.Text(), "7/1");
  EXPECT_EQ(h.BookMemNo.Text(), "12");
  EXPECT_EQ(h.BookMemType, 2);
  EXPECT_TRUE(h.NetBooking);
  EXPECT_EQ(h.SeqNo, 77);
  EXPECT_EQ(h.TaxpayerId, "DE123");
  EXPECT_EQ(h.CardNo, 5);
  EXPECT_EQ(h.ManufacturingId, "M-1");
  EXPECT_EQ(h.Int10_4, 44);
  EXPECT_EQ(h.KeyPairSerialNo, 9);
  EXPECT_EQ(h.PluHash.View(), "01AB");  // the long text form of the binary value
  EXPECT_EQ(h.ControlDateTime, tKvDateTime(2 * 86400));
  EXPECT_EQ(h.ReceiptCounter.Counter, 10);
  EXPECT_EQ(h.ReceiptCounter.Counter2, 11);
  EXPECT_EQ(h.ReceiptCounter.Text, "RC");
  EXPECT_EQ(h.ControlModuleId, "CM");
  EXPECT_EQ(h.SigningCardId, "SC");
  EXPECT_EQ(h.EcrProductionNo, "P-8");
  EXPECT_EQ(h.Currency, (tFiscCurrencyRec{"EUR"sv, 978, 3}));
  EXPECT_EQ(h.LastVoucherSeqNo, 20);
  EXPECT_EQ(h.FirstVoucherSeqNo, 19);
  EXPECT_EQ(h.EcrText, "Bar");
  EXPECT_TRUE(h.NotPrinted);
  EXPECT_EQ(h.Int16, 16);
  EXPECT_EQ(h.InvoiceNo, "INV");
  EXPECT_EQ(h.VoucherLink, "LNK");
  EXPECT_EQ(h.Subsequent.Text, "Late");
  EXPECT_EQ(h.Subsequent.IssueDate, tKvDateTime(3 * 86400));
  EXPECT_EQ(h.Void.OriginalInvoice, "ORIG");
  EXPECT_EQ(h.Void.VoidType, (tFiscIdTextRec{4, "Full"sv}));
  EXPECT_EQ(h.Void.Reason, "Error");
  EXPECT_EQ(h.Customer,
            (tFiscCustomerRec{"TAX"sv, "Name"sv, "Street"sv, "City"sv, "12345"sv, "DE"sv}));
  EXPECT_EQ(h.AuthOperator, tFiscNumTextRec{}) << "events only";
  EXPECT_EQ(h.FiscalReport, (tFiscIdTextRec{6, "Z"sv}));
}

TEST(FiscPaths, UnknownPathsAreRefusedAndStoreNothing) {
  struct Case {
    const char* record;
    Path path;
    bool (*store)(tFiscPath, const tKvKPosData&);
  };
  const auto header = [](tFiscPath p, const tKvKPosData& e) {
    tFiscHeaderRec r;
    const bool ok = FiscStoreHeaderField(r, p, e);
    EXPECT_EQ(r, tFiscHeaderRec{});
    return ok;
  };
  const auto event = [](tFiscPath p, const tKvKPosData& e) {
    tFiscHeaderRec r;
    const bool ok = FiscStoreEventHeaderField(r, p, e);
    EXPECT_EQ(r, tFiscHeaderRec{});
    return ok;
  };
  const auto sale = [](tFiscPath p, const tKvKPosData& e) {
    tFiscSaleItemRec r;
    tFiscItemTaxRec t;
    tFiscModifierRec m;
    const bool ok = FiscStoreSaleItemField(r, t, m, p, e);
    EXPECT_EQ(r, tFiscSaleItemRec{});
    return ok;
  };
  const auto closing = [](tFiscPath p, const tKvKPosData& e) {
    tFiscClosingRec r;
    tFiscTaxSumRec t;
    const bool ok = FiscStoreClosingField(r, t, p, e);
    EXPECT_EQ(r, tFiscClosingRec{});
    return ok;
  };
  const auto payment = [](tFiscPath p, const tKvKPosData& e) {
    tFiscPaymentRec r;
    const bool ok = FiscStorePaymentField(r, 6, p, e);
    EXPECT_EQ(r, tFiscPaymentRec{});
    return ok;
  };
  const auto signature = [](tFiscPath p, const tKvKPosData& e) {
    tFiscSignatureRec r;
    return FiscStoreSignatureField(r, p, e);
  };
  const Case cases[] = {
      {"header", {}, header},           {"header", {0}, header},
      {"header", {23}, header},         {"header", {1, 1}, header},
      {"header", {2}, header},          {"header", {2, 3}, header},
      {"header", {10}, header},         {"header", {10, 9}, header},
      {"header", {10, 1, 1}, header},   {"header", {10, 7}, header},
      {"header", {10, 7, 5}, header},   {"header", {10, 7, 2, 4}, header},
      {"header", {19, 3}, header},      {"header", {21, 7}, header},
      {"header", {21}, header},         {"header", {11, 4}, header},
      {"event header", {5}, event},     {"event header", {3}, event},
      {"event header", {4, 3}, event},  {"sale item", {5}, sale},
      {"sale item", {5, 1, 1}, sale},   {"sale item", {11}, sale},
      {"sale item", {2, 1}, sale},      {"sale item", {4, 3}, sale},
      {"sale item", {8, 3}, sale},      {"closing", {9}, closing},
      {"closing", {1, 3}, closing},     {"closing", {2, 9}, closing},
      {"payment", {1}, payment},        {"payment", {1, 4}, payment},
      {"payment", {5}, payment},        {"signature", {3}, signature},
      {"signature", {1, 1}, signature},
  };
  for (const Case& c : cases) {
    EXPECT_FALSE(c.store(c.path, *Int(1))) << c.record << " " << Text(c.path);
  }
}

TEST(FiscPaths, EventHeader) {
  tFiscHeaderRec h;
  EXPECT_TRUE(FiscStoreEventHeaderField(h, Path{1}, *Time(86400)));
  EXPECT_TRUE(FiscStoreEventHeaderField(h, Path{2}, *Fix("3")));
  EXPECT_TRUE(FiscStoreEventHeaderField(h, Path{3, 1}, *Fix("8")));
  EXPECT_TRUE(FiscStoreEventHeaderField(h, Path{4, 2}, *Str("Boss")));
  EXPECT_EQ(h.DateTime, tKvDateTime(86400));
  EXPECT_EQ(h.EcrNo.Text(), "3");
  EXPECT_EQ(h.Operator.Number.Text(), "8");
  EXPECT_EQ(h.AuthOperator.Name, "Boss");
}

TEST(FiscPaths, SaleItemAndLinkedArticle) {
  tFiscSaleItemRec item;
  tFiscItemTaxRec tax;
  tFiscModifierRec modifier;
  const auto store = [&](const Path& path, std::unique_ptr<tKvKPosData> element) {
    EXPECT_TRUE(FiscStoreSaleItemField(item, tax, modifier, path, *element)) << Text(path);
  };
  store({1, 1}, Fix("4711"));
  store({1, 2}, Str("Cola"));
  store({9, 1}, Fix("3"));
  store({9, 2}, Str("Drinks"));
  store({2}, Dec("2"));
  store({6}, Str("Cola 0.3"));
  store({3}, Dec("5.8"));
  store({10}, Dec("1.5"));
  store({7}, Int(1));
  store({8, 1, 1}, Int(12));
  store({8, 1, 2}, Str("Ice"));
  store({8, 2}, Dec("0.2"));
  store({4, 1}, Int(1));
  store({4, 2}, Dec("0.93"));
  EXPECT_EQ(item.Plu, (tFiscNumTextRec{tKvBcdFix::FromText("4711"sv), "Cola"sv}));
  EXPECT_EQ(item.Department, (tFiscNumTextRec{tKvBcdFix::FromText("3"sv), "Drinks"sv}));
  EXPECT_EQ(item.Quantity, B("2"));
  EXPECT_EQ(item.Text, "Cola 0.3");
  EXPECT_EQ(item.Amount, B("5.8"));
  EXPECT_EQ(item.Amount10, B("1.5"));
  EXPECT_TRUE(item.PriceOverwrite);
  EXPECT_EQ(modifier, Modifier(12, "Ice", "0.2"));
  EXPECT_EQ(tax, (tFiscItemTaxRec{false, 1, B("0.93"sv)}));
  EXPECT_EQ(item.Modifiers.Count(), 0) << "modifiers are appended when their record closes";

  tFiscPLULinkRec link;
  modifier = {};
  const auto storeLink = [&](const Path& path, std::unique_ptr<tKvKPosData> element) {
    EXPECT_TRUE(FiscStorePLULinkField(link, modifier, path, *element)) << Text(path);
  };
  storeLink({1, 1}, Fix("5"));
  storeLink({7, 2}, Str("Dept"));
  storeLink({2}, Dec("1"));
  storeLink({4}, Str("Lemon"));
  storeLink({3}, Dec("0.1"));
  storeLink({5}, Int(1));
  storeLink({6, 1, 1}, Int(7));
  storeLink({6, 2}, Dec("0.05"));
  EXPECT_EQ(link.Plu.Number.Text(), "5");
  EXPECT_EQ(link.Department.Name, "Dept");
  EXPECT_EQ(link.Quantity, B("1"));
  EXPECT_EQ(link.Text, "Lemon");
  EXPECT_EQ(link.Amount, B("0.1"));
  EXPECT_TRUE(link.PriceOverwrite);
  EXPECT_EQ(modifier, Modifier(7, "", "0.05"));
  EXPECT_FALSE(FiscStorePLULinkField(link, modifier, Path{8}, *Int(1)));
}

TEST(FiscPaths, ItemTaxSlots) {
  tFiscItemTaxTable taxes{};
  tFiscItemTaxRec pending;
  // Index 1 twice: the later tax record replaces the earlier one.
  EXPECT_TRUE(FiscStoreItemTaxField(pending, Path{1}, *Int(1)));
  EXPECT_TRUE(FiscStoreItemTaxField(pending, Path{2}, *Dec("1.9")));
  EXPECT_TRUE(FiscStoreItemTax(taxes, pending));
  EXPECT_EQ(pending, tFiscItemTaxRec{});
  EXPECT_TRUE(FiscStoreItemTaxField(pending, Path{1}, *Int(1)));
  EXPECT_TRUE(FiscStoreItemTaxField(pending, Path{2}, *Dec("0.7")));
  EXPECT_TRUE(FiscStoreItemTax(taxes, pending));
  EXPECT_EQ(taxes[1], (tFiscItemTaxRec{true, 1, B("0.7"sv)}));
  // Slots 0 and 8 are the ends of the table.
  for (int32_t index : {0, 8}) {
    pending = {false, index, B("1")};
    EXPECT_TRUE(FiscStoreItemTax(taxes, pending)) << index;
    EXPECT_TRUE(taxes[static_cast<size_t>(index)].Used) << index;
  }
  // Outside 0-8: reported at the field and stored nowhere when the record
  // closes; slot 0 in particular keeps its value.
  const tFiscItemTaxTable before = taxes;
  for (int32_t index : {-1, 9, 100, INT32_MIN, INT32_MAX}) {
    EXPECT_FALSE(FiscStoreItemTaxField(pending, Path{1}, *Int(index))) << index;
    EXPECT_TRUE(FiscStoreItemTaxField(pending, Path{2}, *Dec("9.99")));
    EXPECT_FALSE(FiscStoreItemTax(taxes, pending)) << index;
    EXPECT_EQ(pending, tFiscItemTaxRec{}) << index;
    EXPECT_EQ(taxes, before) << index;
  }

  tFiscAdjustRec adjust;
  EXPECT_TRUE(FiscStoreAdjustField(adjust, pending, Path{3, 1}, *Int(2)));
  EXPECT_TRUE(FiscStoreAdjustField(adjust, pending, Path{3, 2}, *Dec("-0.1")));
  EXPECT_TRUE(FiscStoreAdjustField(adjust, pending, Path{1, 2}, *Str("Staff")));
  EXPECT_TRUE(FiscStoreAdjustField(adjust, pending, Path{2}, *Dec("-1")));
  EXPECT_TRUE(FiscStoreAdjustField(adjust, pending, Path{4}, *Int(1)));
  EXPECT_TRUE(FiscStoreItemTax(adjust.Taxes, pending));
  EXPECT_EQ(adjust.Taxes[2], (tFiscItemTaxRec{true, 2, B("-0.1"sv)}));
  EXPECT_EQ(adjust.Ref.Name, "Staff");
  EXPECT_EQ(adjust.Amount, B("-1"));
  EXPECT_TRUE(adjust.Flag);
}

TEST(FiscPaths, ClosingAndTaxSummaries) {
  tFiscClosingRec closing;
  tFiscTaxSumRec sum;
  const auto store = [&](const Path& path, std::unique_ptr<tKvKPosData> element) {
    EXPECT_TRUE(FiscStoreClosingField(closing, sum, path, *element)) << Text(path);
  };
  store({1, 1}, Dec("119"));  // gross
  store({1, 2}, Dec("100"));  // net
  store({2}, Int(5));         // a summary field without sub-field is ignored
  store({2, 1, 1}, Int(1));
  store({2, 1, 2}, Dec("19"));
  store({2, 1, 3}, Str("MwSt"));
  store({2, 2}, Dec("119"));
  store({2, 3}, Dec("19"));
  store({2, 4}, Dec("-2"));
  store({2, 5}, Dec("5"));
  store({2, 6}, Int(1));
  store({2, 7}, Int(1));
  store({2, 8}, Dec("100"));
  store({3, 2}, Dec("4"));
  store({4, 1}, Dec("1"));
  store({5, 3}, Int(1));
  store({6, 2}, Dec("-0.5"));
  store({7, 2}, Dec("300"));
  store({8, 2}, Dec("50"));
  EXPECT_EQ(closing.Totals.Gross, B("119"));
  EXPECT_EQ(closing.Totals.Net, B("100"));
  EXPECT_EQ(closing.Expenses.Amount, B("4"));
  EXPECT_EQ(closing.Tip.Count, B("1"));
  EXPECT_TRUE(closing.Declared.Flag);
  EXPECT_EQ(closing.Difference.Amount, B("-0.5"));
  EXPECT_EQ(closing.Drawer.Amount, B("300"));
  EXPECT_EQ(closing.PettyCash.Amount, B("50"));

  const tFiscTaxSumRec expected{1,        B("19"sv), "MwSt"sv, true,   B("119"sv),
                                B("100"), B("-2"),   B("19"),  B("5"), true};
  EXPECT_EQ(sum, expected);
  EXPECT_TRUE(FiscStoreTaxSum(closing.TaxSums, sum));
  EXPECT_EQ(sum, tFiscTaxSumRec{});
  EXPECT_TRUE(closing.TaxSums[1].Used);
  EXPECT_EQ(closing.TaxSums[1].Sum, expected);

  // A summary with an index outside the table is refused at the field and
  // when it closes, and touches no slot.
  const tFiscTaxSumTable before = closing.TaxSums;
  EXPECT_FALSE(FiscStoreClosingField(closing, sum, Path{2, 1, 1}, *Int(9)));
  EXPECT_TRUE(FiscStoreClosingField(closing, sum, Path{2, 3}, *Dec("7")));
  EXPECT_FALSE(FiscStoreTaxSum(closing.TaxSums, sum));
  EXPECT_EQ(closing.TaxSums, before);
  EXPECT_EQ(sum, tFiscTaxSumRec{});
}

TEST(FiscPaths, PaymentDepositSignature) {
  tFiscPaymentRec payment;
  EXPECT_TRUE(FiscStorePaymentField(payment, 14, Path{2}, *Dec("10")));
  EXPECT_EQ(payment.Kind, 0) << "Kind is set by a k.1 field";
  EXPECT_TRUE(FiscStorePaymentField(payment, 14, Path{1, 1}, *Int(3)));
  EXPECT_EQ(payment.Kind, 14);
  EXPECT_TRUE(FiscStorePaymentField(payment, 14, Path{1, 2}, *Str("Card")));
  EXPECT_TRUE(FiscStorePaymentField(payment, 14, Path{1, 3}, *Str("Visa")));
  EXPECT_TRUE(FiscStorePaymentField(payment, 14, Path{3}, *Time(86400 * 5)));
  EXPECT_TRUE(FiscStorePaymentField(payment, 14, Path{4}, *Str("CHF")));
  EXPECT_TRUE(FiscStorePaymentField(payment, 14, Path{4, 2}, *Int(756)));
  EXPECT_EQ(payment.Media, (tFiscPaymentMediaRec{3, "Card"sv, "Visa"sv}));
  EXPECT_EQ(payment.Amount, B("10"));
  EXPECT_EQ(payment.PayDateTime, tKvDateTime(86400 * 5));
  EXPECT_EQ(payment.ForeignCurrency, (tFiscCurrencyRec{"CHF"sv, 756, 0}));

  tFiscDepositRec deposit;
  EXPECT_TRUE(FiscStoreDepositField(deposit, Path{1, 1}, *Fix("99")));
  EXPECT_TRUE(FiscStoreDepositField(deposit, Path{2}, *Dec("20")));
  EXPECT_FALSE(FiscStoreDepositField(deposit, Path{3}, *Dec("20")));
  EXPECT_EQ(deposit.Ref.Number.Text(), "99");
  EXPECT_EQ(deposit.Amount, B("20"));

  tFiscSignatureRec signature;
  EXPECT_TRUE(FiscStoreSignatureField(signature, Path{1}, *Bin("\x12\xEF")));
  EXPECT_EQ(signature.View(), "12EF");
  EXPECT_TRUE(FiscStoreSignatureField(signature, Path{2}, *Str("abc")));
  EXPECT_EQ(signature.View(), "abc");
  // 512 bytes give 1024 hexadecimal digits, the capacity; 513 are refused
  // and leave no stale signature behind.
  EXPECT_TRUE(FiscStoreSignatureField(signature, Path{1}, *Bin(std::string(512, '\x5A'))));
  EXPECT_EQ(signature.Length, 1024);
  EXPECT_FALSE(FiscStoreSignatureField(signature, Path{1}, *Bin(std::string(513, '\x5A'))));
  EXPECT_EQ(signature.Length, 0);

  tFiscHeaderRec header;
  EXPECT_FALSE(FiscStoreHeaderField(header, Path{10, 6}, *Bin(std::string(600, '\x01'))));
  EXPECT_EQ(header.PluHash.Length, 0);
}

TEST(FiscPaths, ReportRecords) {
  tFiscReportCountersRec counters;
  tFiscCounterRec cell;
  EXPECT_TRUE(FiscStoreField(counters.GrandTotal, Path{1}, *Dec("1000")));
  EXPECT_TRUE(FiscStoreField(counters.GrandTotal, Path{2}, *Dec("1200")));
  EXPECT_TRUE(FiscStoreField(counters.GrandTotal, Path{3}, *Dec("-30")));
  EXPECT_EQ(counters.GrandTotal, (tFiscTotalsRec{B("1000"sv), B("1200"sv), B("-30"sv)}));

  EXPECT_TRUE(FiscStoreField(cell, Path{1}, *Dec("3")));
  EXPECT_TRUE(FiscStoreField(cell, Path{2}, *Dec("17.5")));
  EXPECT_TRUE(FiscStoreField(cell, Path{3}, *Int(1)));
  EXPECT_TRUE(FiscStoreReportCounter(counters, 28, cell));
  EXPECT_EQ(cell, tFiscCounterRec{});
  EXPECT_EQ(counters.Slots[3], (tFiscCounterSlot{true, 28, {B("3"sv), B("17.5"sv), true}}));
  for (int32_t kind : {1, 3, 4, 5, 15, 16, 17, 18, 27, 32, -2}) {
    cell.Count = B("1");
    EXPECT_FALSE(FiscStoreReportCounter(counters, kind, cell)) << kind;
    EXPECT_EQ(cell, tFiscCounterRec{}) << kind;
  }
  // The slot table: every counter kind has its own slot, in the stored order.
  const int32_t kinds[] = {2,  6,  7,  28, 8,  9,  10, 11, 12, 13, 14,
                           19, 20, 21, 22, 23, 24, 25, 26, 29, 30, 31};
  for (int slot = 0; slot < 22; ++slot) EXPECT_EQ(FiscReportCounterSlot(kinds[slot]), slot);

  tFiscReportMediaRec media;
  EXPECT_TRUE(FiscStoreReportMediaField(media, Path{1, 1}, *Int(2)));
  EXPECT_TRUE(FiscStoreReportMediaField(media, Path{1, 2}, *Str("Cash")));
  EXPECT_TRUE(FiscStoreReportMediaField(media, Path{3, 2}, *Dec("0")));
  EXPECT_TRUE(FiscStoreReportMediaField(media, Path{6, 2}, *Dec("250")));
  EXPECT_FALSE(FiscStoreReportMediaField(media, Path{4, 4}, *Dec("1")));
  EXPECT_FALSE(FiscStoreReportMediaField(media, Path{7, 1}, *Dec("1")));
  EXPECT_EQ(media.Media, (tFiscIdTextRec{2, "Cash"sv}));
  EXPECT_FALSE(media.Sales.Present);
  EXPECT_TRUE(media.Change.Present) << "present even when the value is zero";
  EXPECT_FALSE(media.PaidIn.Present) << "a refused field does not mark its cell";
  EXPECT_TRUE(media.Drawer.Present);
  EXPECT_EQ(media.Drawer.Cell.Amount, B("250"));

  tFiscReportGroupRec group;
  EXPECT_TRUE(FiscStoreReportGroupField(group, Path{1, 1}, *Int(4)));
  EXPECT_TRUE(FiscStoreReportGroupField(group, Path{2, 2}, *Dec("8")));
  EXPECT_FALSE(FiscStoreReportGroupField(group, Path{2}, *Dec("8")));
  EXPECT_EQ(group.Group.Number, 4);
  EXPECT_EQ(group.Cell.Amount, B("8"));

  tFiscReportTaxRec tax;
  tFiscTaxSumRec sum;
  EXPECT_TRUE(FiscStoreField(sum, Path{1, 1}, *Int(2)));
  EXPECT_TRUE(FiscStoreField(sum, Path{3}, *Dec("7")));
  EXPECT_TRUE(FiscStoreTaxSum(tax.TaxSingle, sum));
  EXPECT_TRUE(tax.TaxSingle[2].Used);
  EXPECT_FALSE(tax.TaxTotal[2].Used);
}

}  // namespace
