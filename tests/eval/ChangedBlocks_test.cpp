#include "eval/ChangedBlocks.h"

#include <gtest/gtest.h>

#include <cstring>
#include <initializer_list>
#include <random>
#include <vector>

namespace {

using namespace changed_blocks;

// Each form against memcmp per block: every count, ranges off any
// alignment, a few changed bytes anywhere or none.
TEST(ChangedBlocks, EachFormAsAPlainCompare) {
  std::vector<tChangedBlocksForm> forms = {&ChangedBlocks16, &ChangedBlocks};
  for (tChangedBlocksForm wide : {ChangedBlocks32(), ChangedBlocks64()}) {
    if (wide != nullptr) forms.push_back(wide);
  }
  std::mt19937_64 random(3);
  std::vector<std::byte> a(kMaxBlocks * kBlockBytes + 16), c;
  for (int round = 0; round < 2000; ++round) {
    for (std::byte& b : a) b = static_cast<std::byte>(random());
    c = a;
    for (size_t k = random() % 4; k > 0; --k) c[random() % c.size()] ^= std::byte{1};
    const size_t offset = random() % 16, count = random() % (kMaxBlocks + 1);
    uint64_t want = 0;
    for (size_t b = 0; b < count; ++b) {
      const size_t at = offset + b * kBlockBytes;
      want |= uint64_t{std::memcmp(&a[at], &c[at], kBlockBytes) != 0} << b;
    }
    for (tChangedBlocksForm form : forms) ASSERT_EQ(form(&a[offset], &c[offset], count), want);
  }
}

}  // namespace
