// Which 64-byte blocks of two byte ranges differ: the compare behind the
// view relay's records, which go over as the blocks in which they differ
// from the last record of their kind. Pure functions; the ranges are read
// only.
//
// ChangedBlocks compares with the widest vectors the processor offers
// (AVX-512 or AVX2 where it has them, else SSE2 on x86-64 and NEON on
// arm64, through the compiler's generic vectors), chosen once; the forms
// are also callable by name, so that each can be compared with a plain
// memcmp.
#pragma once

#include <cstddef>
#include <cstdint>

namespace changed_blocks {

inline constexpr size_t kBlockBytes = 64;
inline constexpr size_t kMaxBlocks = 64;  // one bit each in the mask

// Bit b is set when the bytes [b * 64, b * 64 + 64) at a and at c differ.
// REQUIRES: count <= kMaxBlocks; count * 64 bytes readable at a and c.
uint64_t ChangedBlocks(const std::byte* a, const std::byte* c, size_t count);

// The forms: 16-byte vectors, 32-byte ones (AVX2) and 64-byte ones
// (AVX-512; each nullptr where the processor or the build has none).
uint64_t ChangedBlocks16(const std::byte* a, const std::byte* c, size_t count);
using tChangedBlocksForm = uint64_t (*)(const std::byte*, const std::byte*, size_t);
tChangedBlocksForm ChangedBlocks32();
tChangedBlocksForm ChangedBlocks64();

}  // namespace changed_blocks
