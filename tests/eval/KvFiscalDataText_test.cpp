#include "eval/KvFiscalDataText.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <string>
#include <vector>

namespace {

using Decoder = size_t (*)(std::string_view, uint8_t*);

// One digit pair at a time, straight from the definition.
size_t ReferenceDecode(std::string_view hex, std::vector<uint8_t>& out) {
  out.assign(hex.size() / 2, 0);
  for (size_t at = 0; at < hex.size() / 2 * 2; ++at) {
    if (kv_text::kHexValue[static_cast<unsigned char>(hex[at])] == kv_text::kNoHex) return at;
  }
  for (size_t i = 0; i < out.size(); ++i) {
    out[i] = static_cast<uint8_t>(kv_text::kHexValue[static_cast<unsigned char>(hex[2 * i])] << 4 |
                                  kv_text::kHexValue[static_cast<unsigned char>(hex[2 * i + 1])]);
  }
  return hex.size();
}

std::vector<Decoder> Decoders() {
  std::vector<Decoder> decoders{&kv_text::DecodeHexPairs, &kv_text::detail::DecodeHexPairsNarrow};
  if (kv_text::detail::HasWideDecoder()) decoders.push_back(&kv_text::detail::DecodeHexPairsWide);
  return decoders;
}

// Every decoder agrees with the reference on the bytes of valid input and on
// the first non-digit of invalid input, at every length around the vector
// widths, with the characters next to the digit ranges and bytes above 0x7F;
// nothing is written beyond the pairs.
TEST(DecodeHexPairs, AgreesWithTheDefinition) {
  const std::string digits = "0123456789abcdefABCDEF";
  const std::string strangers("/:@G`g \x7F\x80\xFF\0,;", 13);
  std::mt19937 random(7);
  for (Decoder decode : Decoders()) {
    for (size_t length = 0; length <= 100; ++length) {
      for (int round = 0; round < 40; ++round) {
        std::string hex(length, '0');
        for (char& c : hex) c = digits[random() % digits.size()];
        // Half of the rounds put a stranger somewhere (the last odd digit
        // included, which is ignored).
        if (round % 2 == 1 && length > 0) {
          hex[random() % length] = strangers[random() % strangers.size()];
        }
        std::vector<uint8_t> expected;
        const size_t expectedAt = ReferenceDecode(hex, expected);
        std::vector<uint8_t> out(length / 2 + 1, 0xEE);
        const size_t at = decode(hex, out.data());
        ASSERT_EQ(at, expectedAt) << hex;
        if (at == hex.size()) {
          ASSERT_EQ(out[length / 2], 0xEE) << "written beyond the pairs: " << hex;
          out.resize(length / 2);
          ASSERT_EQ(out, expected) << hex;
        }
      }
    }
  }
}

}  // namespace

namespace {

// The blanks a text starts with, counted eight bytes at a time, against
// TrimLeft: every run length up to two words and a tail, ended by each
// byte around the blank limit (0x20) and the sign bit, in texts that
// continue or end there.
TEST(LeadingBlanks, AgreesWithTrimLeft) {
  const char blanks[] = {' ', '\t', '\0', '\x1F'};
  const char ends[] = {'\x21', '\x7F', '\x80', '\xA0', '\xFF', 'F', '('};
  for (size_t run = 0; run <= 19; ++run) {
    for (char end : ends) {
      for (size_t after : {0, 1, 9}) {
        std::string text;
        for (size_t i = 0; i < run; ++i) text += blanks[i % std::size(blanks)];
        if (after > 0) text += end + std::string(after - 1, 'x');
        const size_t trimmed = text.size() - kv_text::TrimLeft(text).size();
        EXPECT_EQ(kv_text::LeadingBlanks(text), trimmed) << run << " " << int(end) << " " << after;
      }
    }
  }
}

}  // namespace
