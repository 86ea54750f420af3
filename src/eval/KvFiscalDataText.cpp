#include "eval/KvFiscalDataText.h"

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#define KV_HEX_X86 1
#endif

namespace kv_text {
namespace {

// Decodes digit pairs from index i on with the table; bad collects the
// table values (kNoHex for a non-digit).
unsigned DecodeHexTail(const unsigned char* in, size_t i, size_t pairs, uint8_t* out) {
  unsigned bad = 0;
  for (; i < pairs; ++i) {
    const unsigned hi = kHexValue[in[2 * i]];
    const unsigned lo = kHexValue[in[2 * i + 1]];
    bad |= hi | lo;
    out[i] = static_cast<uint8_t>((hi << 4) | lo);
  }
  return bad;
}

// The result once the pairs are decoded: where the first non-digit is.
size_t FirstNonDigit(std::string_view hex, bool bad) {
  if (!bad) return hex.size();
  const size_t digits = hex.size() / 2 * 2;
  for (size_t at = 0; at < digits; ++at) {
    if (kHexValue[static_cast<unsigned char>(hex[at])] == kNoHex) return at;
  }
  return hex.size();
}

}  // namespace

namespace detail {

size_t DecodeHexPairsNarrow(std::string_view hex, uint8_t* out) {
  const size_t pairs = hex.size() / 2;
  const auto* in = reinterpret_cast<const unsigned char*>(hex.data());
  size_t i = 0;
#if defined(__SSE2__)
  // 16 digits (8 bytes) at a time; data lines are hundreds of digits long.
  // A round with any other character leaves the search for it to the end.
  for (; i + 8 <= pairs; i += 8) {
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + 2 * i));
    const __m128i lower = _mm_or_si128(v, _mm_set1_epi8(0x20));
    // Bytes from 0x80 on compare as negative: neither digit nor letter.
    const __m128i digit = _mm_and_si128(_mm_cmpgt_epi8(v, _mm_set1_epi8('0' - 1)),
                                        _mm_cmplt_epi8(v, _mm_set1_epi8('9' + 1)));
    const __m128i letter = _mm_and_si128(_mm_cmpgt_epi8(lower, _mm_set1_epi8('a' - 1)),
                                         _mm_cmplt_epi8(lower, _mm_set1_epi8('f' + 1)));
    if (_mm_movemask_epi8(_mm_or_si128(digit, letter)) != 0xFFFF) {
      return FirstNonDigit(hex, true);
    }
    const __m128i value =
        _mm_or_si128(_mm_and_si128(digit, _mm_sub_epi8(v, _mm_set1_epi8('0'))),
                     _mm_andnot_si128(digit, _mm_sub_epi8(lower, _mm_set1_epi8('a' - 10))));
    // Each 16-bit lane holds a pair: the high digit in its low byte.
    const __m128i pair = _mm_or_si128(
        _mm_slli_epi16(_mm_and_si128(value, _mm_set1_epi16(0x00FF)), 4), _mm_srli_epi16(value, 8));
    _mm_storel_epi64(reinterpret_cast<__m128i*>(out + i), _mm_packus_epi16(pair, pair));
  }
#endif
  return FirstNonDigit(hex, (DecodeHexTail(in, i, pairs, out) & 0xF0) != 0);
}

#if defined(KV_HEX_X86)
// 32 digits (16 bytes) at a time.
__attribute__((target("avx2"))) size_t DecodeHexPairsWide(std::string_view hex, uint8_t* out) {
  const size_t pairs = hex.size() / 2;
  const auto* in = reinterpret_cast<const unsigned char*>(hex.data());
  size_t i = 0;
  const __m256i below0 = _mm256_set1_epi8('0' - 1), above9 = _mm256_set1_epi8('9' + 1);
  const __m256i belowA = _mm256_set1_epi8('a' - 1), aboveF = _mm256_set1_epi8('f' + 1);
  const __m256i zero = _mm256_set1_epi8('0'), ten = _mm256_set1_epi8('a' - 10);
  const __m256i caseBit = _mm256_set1_epi8(0x20);
  // Per 16-bit lane: high digit * 16 + low digit (maddubs sums the products
  // of neighbouring bytes).
  const __m256i weights = _mm256_set1_epi16(0x0110);
  for (; i + 16 <= pairs; i += 16) {
    const __m256i v = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(in + 2 * i));
    const __m256i lower = _mm256_or_si256(v, caseBit);
    // Bytes from 0x80 on compare as negative: neither digit nor letter.
    const __m256i digit =
        _mm256_and_si256(_mm256_cmpgt_epi8(v, below0), _mm256_cmpgt_epi8(above9, v));
    const __m256i letter =
        _mm256_and_si256(_mm256_cmpgt_epi8(lower, belowA), _mm256_cmpgt_epi8(aboveF, lower));
    if (_mm256_movemask_epi8(_mm256_or_si256(digit, letter)) != -1) {
      return FirstNonDigit(hex, true);
    }
    const __m256i value =
        _mm256_blendv_epi8(_mm256_sub_epi8(lower, ten), _mm256_sub_epi8(v, zero), digit);
    const __m256i pair = _mm256_maddubs_epi16(value, weights);
    // packus works per 128-bit half: bytes 0-7 and 16-23 are the 16 pairs.
    const __m256i packed = _mm256_permute4x64_epi64(_mm256_packus_epi16(pair, pair), 0x08);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i), _mm256_castsi256_si128(packed));
  }
  return FirstNonDigit(hex, (DecodeHexTail(in, i, pairs, out) & 0xF0) != 0);
}

bool HasWideDecoder() {
  static const bool has = __builtin_cpu_supports("avx2");
  return has;
}
#else
size_t DecodeHexPairsWide(std::string_view hex, uint8_t* out) {
  return DecodeHexPairsNarrow(hex, out);
}
bool HasWideDecoder() { return false; }
#endif

}  // namespace detail

size_t DecodeHexPairs(std::string_view hex, uint8_t* out) {
  return detail::HasWideDecoder() ? detail::DecodeHexPairsWide(hex, out)
                                  : detail::DecodeHexPairsNarrow(hex, out);
}

}  // namespace kv_text
