// The record model's bounds and refusals. How records fill field by field,
// texts cut to their capacity among it, is checked through the evaluator
// (KvFiscalStreamEvalExt_test.cpp).
#include "eval/KvKPosFiscalStreamHelp.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "EvalTestHelp.h"
#include "base/KvErrors.h"
#include "base/RaiseTestHelp.h"
#include "stream/KvKPosComStreamData.h"

namespace {

using eval_test::Row;
using Path = std::vector<int32_t>;

const tKvKPosDataInt kOne(1);

tFiscModifierRec Modifier(int32_t number, const char* name) {
  tFiscModifierRec m;
  m.Modifier.Number = number;
  m.Modifier.Name = name;
  m.Amount = tKvBcd::FromText("0.5");
  return m;
}

TEST(FiscValues, FlagIsTrueOnlyForOne) {
  EXPECT_EQ(Row(FiscFlag(kOne), FiscFlag(tKvKPosDataInt(0)), FiscFlag(tKvKPosDataInt(2)),
                FiscFlag(tKvKPosDataInt(-1)), FiscFlag(tKvKPosDataStr("1"))),
            "1|0|0|0|0");
}

// Binary values of at most 1024 bytes replace the old value whole; longer
// ones are refused and leave the value empty. Signatures hold the hex text.
TEST(FiscValues, BinaryValuesUpTo1024Bytes) {
  tFiscBytes bytes;
  EXPECT_TRUE(bytes.Assign(std::string(1024, 'x')));
  EXPECT_TRUE(bytes.Assign("abc"));
  EXPECT_EQ(Row(bytes, bytes.Data[3]), "abc|0");  // nothing stale behind the value
  EXPECT_FALSE(bytes.Assign(std::string(1025, 'y')));
  EXPECT_EQ(Row(bytes.Length, bytes.Data[0]), "0|0");

  tFiscSignatureRec signature;
  EXPECT_TRUE(
      FiscStoreSignatureField(signature, Path{1}, tKvKPosDataBinary(std::string(512, 'Z'))));
  EXPECT_EQ(signature.Length, 1024);
  EXPECT_FALSE(
      FiscStoreSignatureField(signature, Path{1}, tKvKPosDataBinary(std::string(513, 'Z'))));
  EXPECT_EQ(signature.Length, 0);
  tFiscHeaderRec header;
  EXPECT_FALSE(FiscStoreHeaderField(header, Path{10, 6}, tKvKPosDataBinary(std::string(600, 1))));
  EXPECT_EQ(header.PluHash.Length, 0);
}

TEST(FiscModifiers, AddClearsThePendingOneAndClearedStorageIsUnreachable) {
  tFiscPluModifierArr arr;
  for (int32_t i = 1; i <= 3; ++i) {
    tFiscModifierRec pending = Modifier(i, "M");
    arr.Add(pending);
    EXPECT_EQ(pending, tFiscModifierRec{}) << "Add clears the pending modifier";
  }
  EXPECT_EQ(eval_test::Str(arr), "[1/M/0.5,2/M/0.5,3/M/0.5]");
  arr.Clear();
  tFiscModifierRec pending = Modifier(4, "N");
  arr.Add(pending);
  EXPECT_EQ(eval_test::Str(arr), "[4/N/0.5]");
  // Element 2 is stale storage and must not be reachable.
  for (int32_t index : {0, -1, 2, 3, INT32_MIN, INT32_MAX}) {
    EXPECT_EQ(raise_test::MessageOf<EKvMisc>([&] { arr.Get(index); }),
              "Modifier: Index out of bounds!")
        << index;
  }
}

// Paths a record does not know are refused and store nothing.
template <typename Rec, typename Store>
bool StoresNothing(Store store) {
  Rec rec;
  return !store(rec) && rec == Rec{};
}

TEST(FiscPaths, UnknownPathsAreRefusedAndStoreNothing) {
  tFiscItemTaxRec tax;
  tFiscModifierRec modifier;
  tFiscTaxSumRec sum;
  const std::pair<const char*, std::function<bool(tFiscPath)>> cases[] = {
      {"- 0 23 1.1 2 2.3 10 10.9 10.1.1 10.7 10.7.5 10.7.2.4 19.3 21.7 21 11.4",
       [](tFiscPath p) {
         return StoresNothing<tFiscHeaderRec>(
             [&](auto& r) { return FiscStoreHeaderField(r, p, kOne); });
       }},
      {"5 3 4.3",
       [](tFiscPath p) {
         return StoresNothing<tFiscHeaderRec>(
             [&](auto& r) { return FiscStoreEventHeaderField(r, p, kOne); });
       }},
      {"5 5.1.1 11 2.1 4.3 8.3",
       [&](tFiscPath p) {
         return StoresNothing<tFiscSaleItemRec>(
             [&](auto& r) { return FiscStoreSaleItemField(r, tax, modifier, p, kOne); });
       }},
      {"9 1.3 2.9",
       [&](tFiscPath p) {
         return StoresNothing<tFiscClosingRec>(
             [&](auto& r) { return FiscStoreClosingField(r, sum, p, kOne); });
       }},
      {"1 1.4 5",
       [](tFiscPath p) {
         return StoresNothing<tFiscPaymentRec>(
             [&](auto& r) { return FiscStorePaymentField(r, 6, p, kOne); });
       }},
      {"3 1.1",
       [](tFiscPath p) {
         return StoresNothing<tFiscSignatureRec>(
             [&](auto& r) { return FiscStoreSignatureField(r, p, kOne); });
       }},
  };
  for (const auto& [paths, refused] : cases) {
    std::istringstream in(paths);
    for (std::string text; in >> text;) {
      std::istringstream ids(text == "-" ? "" : std::regex_replace(text, std::regex("\\."), " "));
      Path path;
      for (int32_t id; ids >> id;) path.push_back(id);
      EXPECT_TRUE(refused(path)) << paths << ": " << text;
    }
  }
}

// Tax indexes address the slots 0 to 8. Outside them a tax record is
// refused at its index field and again when it closes: no slot changes.
TEST(FiscPaths, TaxIndexesOutsideTheTable) {
  tFiscItemTaxTable taxes{};
  tFiscItemTaxRec pending;
  for (int32_t index : {0, 8}) {
    pending = {false, index, tKvBcd::FromText("1")};
    EXPECT_TRUE(FiscStoreItemTax(taxes, pending)) << index;
    EXPECT_EQ(Row(taxes[static_cast<size_t>(index)], pending),
              "1/" + std::to_string(index) + "/1|0/0/0");
  }
  const tFiscItemTaxTable before = taxes;
  for (int32_t index : {-1, 9, 100, INT32_MIN, INT32_MAX}) {
    EXPECT_FALSE(FiscStoreItemTaxField(pending, Path{1}, tKvKPosDataInt(index))) << index;
    EXPECT_TRUE(FiscStoreItemTaxField(pending, Path{2}, tKvKPosDataBcd(tKvBcd::FromText("9"))));
    EXPECT_FALSE(FiscStoreItemTax(taxes, pending)) << index;
    EXPECT_EQ(pending, tFiscItemTaxRec{}) << index;
    EXPECT_EQ(taxes, before) << index;
  }

  tFiscClosingRec closing;
  tFiscTaxSumRec sum;
  EXPECT_FALSE(FiscStoreClosingField(closing, sum, Path{2, 1, 1}, tKvKPosDataInt(9)));
  EXPECT_TRUE(FiscStoreClosingField(closing, sum, Path{2, 3}, kOne));
  EXPECT_FALSE(FiscStoreTaxSum(closing.TaxSums, sum));
  EXPECT_EQ(closing, tFiscClosingRec{});
  EXPECT_EQ(sum, tFiscTaxSumRec{});
}

TEST(FiscPaths, ReportCounterSlotsAndMediaCells) {
  const int32_t kinds[] = {2,  6,  7,  28, 8,  9,  10, 11, 12, 13, 14,
                           19, 20, 21, 22, 23, 24, 25, 26, 29, 30, 31};
  for (int slot = 0; slot < 22; ++slot) EXPECT_EQ(FiscReportCounterSlot(kinds[slot]), slot);
  tFiscReportCountersRec counters;
  tFiscCounterRec cell;
  for (int32_t kind : {1, 3, 4, 5, 15, 16, 17, 18, 27, 32, -2}) {
    cell.Count = tKvBcd::FromText("1");
    EXPECT_FALSE(FiscStoreReportCounter(counters, kind, cell)) << kind;
    EXPECT_EQ(cell, tFiscCounterRec{}) << kind;
  }
  EXPECT_EQ(counters, tFiscReportCountersRec{});

  // A cell is present once it receives a field, even a zero; a refused field
  // does not mark it.
  tFiscReportMediaRec media;
  EXPECT_TRUE(FiscStoreReportMediaField(media, Path{3, 2}, tKvKPosDataBcd(tKvBcd())));
  EXPECT_FALSE(FiscStoreReportMediaField(media, Path{4, 4}, kOne));
  EXPECT_FALSE(FiscStoreReportMediaField(media, Path{7, 1}, kOne));
  EXPECT_EQ(Row(media.Sales.Present, media.Change.Present, media.PaidIn.Present), "0|1|0");
  tFiscReportGroupRec group;
  EXPECT_FALSE(FiscStoreReportGroupField(group, Path{2}, kOne));
}

}  // namespace
