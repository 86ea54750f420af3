#include "eval/ChangedBlocks.h"

#include <cassert>
#include <cstring>
#include <initializer_list>

#if defined(__x86_64__)
#include <immintrin.h>
#endif

namespace changed_blocks {

uint64_t ChangedBlocks16(const std::byte* a, const std::byte* c, size_t count) {
  assert(count <= kMaxBlocks);
  using tVec = uint64_t __attribute__((vector_size(16)));
  uint64_t mask = 0;
  for (size_t b = 0; b < count; ++b, a += kBlockBytes, c += kBlockBytes) {
    tVec diff{};
    for (size_t i = 0; i < kBlockBytes; i += sizeof(tVec)) {
      tVec x, y;
      std::memcpy(&x, a + i, sizeof x);
      std::memcpy(&y, c + i, sizeof y);
      diff |= x ^ y;
    }
    mask |= uint64_t{(diff[0] | diff[1]) != 0} << b;
  }
  return mask;
}

#if defined(__x86_64__)

namespace {

__attribute__((target("avx2"))) uint64_t ChangedBlocksAvx2(const std::byte* a, const std::byte* c,
                                                           size_t count) {
  assert(count <= kMaxBlocks);
  uint64_t mask = 0;
  for (size_t b = 0; b < count; ++b, a += kBlockBytes, c += kBlockBytes) {
    const __m256i diff = _mm256_or_si256(
        _mm256_xor_si256(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(a)),
                         _mm256_loadu_si256(reinterpret_cast<const __m256i*>(c))),
        _mm256_xor_si256(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(a + 32)),
                         _mm256_loadu_si256(reinterpret_cast<const __m256i*>(c + 32))));
    mask |= uint64_t{_mm256_testz_si256(diff, diff) == 0} << b;
  }
  return mask;
}

// A block is one vector: compared to a mask of its differing 8-byte words.
__attribute__((target("avx512f"))) uint64_t ChangedBlocksAvx512(const std::byte* a,
                                                               const std::byte* c,
                                                               size_t count) {
  static_assert(kBlockBytes == sizeof(__m512i));
  assert(count <= kMaxBlocks);
  uint64_t mask = 0;
  for (size_t b = 0; b < count; ++b, a += kBlockBytes, c += kBlockBytes) {
    const __mmask8 words =
        _mm512_cmpneq_epi64_mask(_mm512_loadu_si512(a), _mm512_loadu_si512(c));
    mask |= uint64_t{words != 0} << b;
  }
  return mask;
}

}  // namespace

tChangedBlocksForm ChangedBlocks32() {
  return __builtin_cpu_supports("avx2") ? &ChangedBlocksAvx2 : nullptr;
}

tChangedBlocksForm ChangedBlocks64() {
  return __builtin_cpu_supports("avx512f") ? &ChangedBlocksAvx512 : nullptr;
}

#else

tChangedBlocksForm ChangedBlocks32() { return nullptr; }
tChangedBlocksForm ChangedBlocks64() { return nullptr; }

#endif

uint64_t ChangedBlocks(const std::byte* a, const std::byte* c, size_t count) {
  static const tChangedBlocksForm form = [] {
    for (tChangedBlocksForm wide : {ChangedBlocks64(), ChangedBlocks32()}) {
      if (wide != nullptr) return wide;
    }
    return &ChangedBlocks16;
  }();
  return form(a, c, count);
}

}  // namespace changed_blocks
