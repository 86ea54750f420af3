#include "eval/ChangedBlocks.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace {

using namespace changed_blocks;

// Each form against memcmp per block: every count of blocks, ranges that
// start off any alignment, a changed byte anywhere in a block or none.
TEST(ChangedBlocks, EachFormAsAPlainCompare) {
  std::vector<tChangedBlocksForm> forms = {&ChangedBlocks16, &ChangedBlocks};
  if (tChangedBlocksForm wide = ChangedBlocks32(); wide != nullptr) forms.push_back(wide);
  uint64_t state = 3;
  const auto next = [&state] {
    return state = state * 6364136223846793005ULL + 1442695040888963407ULL;
  };
  std::vector<std::byte> a(kMaxBlocks * kBlockBytes + 16), c(a.size());
  for (int round = 0; round < 2000; ++round) {
    for (std::byte& b : a) b = static_cast<std::byte>(next() >> 56);
    const size_t offset = next() % 16;
    const size_t count = next() % (kMaxBlocks + 1);
    c = a;
    for (size_t k = next() % 4; k > 0; --k) {  // a few changed bytes
      std::byte& b = c[offset + next() % (kMaxBlocks * kBlockBytes)];
      b ^= static_cast<std::byte>(1 + next() % 255);
    }
    uint64_t want = 0;
    for (size_t b = 0; b < count; ++b) {
      const size_t at = offset + b * kBlockBytes;
      if (std::memcmp(a.data() + at, c.data() + at, kBlockBytes) != 0) want |= uint64_t{1} << b;
    }
    for (tChangedBlocksForm form : forms) {
      ASSERT_EQ(form(a.data() + offset, c.data() + offset, count), want) << round;
    }
  }
}

}  // namespace
