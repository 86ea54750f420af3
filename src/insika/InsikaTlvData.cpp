#include "insika/InsikaTlvData.h"

#include <openssl/evp.h>

#include <cassert>

#include "base/KvErrors.h"
#include "eval/KvBcdText.h"

namespace {

enum : uint8_t {
  kTagQuantity = 0xA0,
  kTagUnit = 0xA1,
  kTagName = 0xA2,
  kTagAdjustMarker = 0xAA,
  kTagTaxAmount = 0xB0,  // + tax index 1-8
};
constexpr size_t kMaxQuantity = 16;
constexpr size_t kMaxUnit = 8;
constexpr size_t kMaxName = 16;
constexpr size_t kMaxAmountBytes = 11;

// The normalised form of every byte; 0 drops it.
constexpr std::array<char, 256> kNormalised = [] {
  std::array<char, 256> table{};
  for (int c = 33; c < 256; ++c) table[static_cast<size_t>(c)] = '#';
  table[127] = 0;
  for (int c = '0'; c <= '9'; ++c) table[static_cast<size_t>(c)] = static_cast<char>(c);
  for (int c = 'a'; c <= 'z'; ++c) table[static_cast<size_t>(c)] = static_cast<char>(c);
  for (int c = 'A'; c <= 'Z'; ++c) table[static_cast<size_t>(c)] = static_cast<char>(c - 'A' + 'a');
  return table;
}();

uint8_t Nibble(char c) { return c == 'C' ? 0xC : c == 'D' ? 0xD : static_cast<uint8_t>(c - '0'); }

[[noreturn]] void HashFailed() { throw EKvMisc("SHA-1 not available"); }

}  // namespace

void InsikaAppendInteger(std::string& out, const tKvBcd& value, int shift) {
  assert(shift >= 0 && shift <= 2);
  char digits[72];
  const int length = value.IsZero() ? 0 : value.PutRoundedDigits(digits, shift, 0);
  if (length == 0) {
    out += '0';
    return;
  }
  if (value.IsNegative()) out += '-';
  out.append(digits, static_cast<size_t>(length));
}

void tTLV::AddTLV(uint8_t tag, std::string_view value) {
  assert(value.size() <= 255);
  data_ += static_cast<char>(tag);
  data_ += static_cast<char>(value.size());
  data_.append(value);
}

void tTLV::AddEmpty(uint8_t tag) { AddTLV(tag, {}); }

void tInsikaTlvData::AddText(uint8_t tag, std::string_view text, bool normalise, size_t maxLength) {
  char value[255];
  const size_t limit = maxLength < sizeof value ? maxLength : sizeof value;
  size_t n = 0;
  for (size_t i = 0; i < text.size() && n < limit; ++i) {
    const char c = normalise ? kNormalised[static_cast<unsigned char>(text[i])] : text[i];
    if (normalise && c == 0) continue;
    value[n++] = c;
  }
  if (n > 0) AddTLV(tag, {value, n});
}

void tInsikaTlvData::AddAmount(uint8_t tag, const tKvBcd& amount, size_t maxBytes) {
  std::string text;
  InsikaAppendInteger(text, amount, 2);
  if (text.front() == '-') {
    text.erase(0, 1);
    text += 'D';
  } else {
    text += 'C';
  }
  if (text.size() % 2 != 0) text.insert(text.begin(), '0');
  const size_t count = text.size() / 2;
  if (count > maxBytes || count > 255) return;
  char value[255];
  for (size_t i = 0; i < count; ++i) {
    value[i] = static_cast<char>(Nibble(text[2 * i]) << 4 | Nibble(text[2 * i + 1]));
  }
  AddTLV(tag, {value, count});
}

void tInsikaTlvDataTransactItem::HasherFree::operator()(evp_md_ctx_st* context) const {
  EVP_MD_CTX_free(context);
}

void tInsikaTlvDataTransactItem::HasherFree::operator()(evp_md_st* digest) const {
  EVP_MD_free(digest);
}

tInsikaTlvDataTransactItem::tInsikaTlvDataTransactItem()
    : sha1_(EVP_MD_fetch(nullptr, "SHA1", nullptr)), hasher_(EVP_MD_CTX_new()) {
  if (!sha1_ || !hasher_) HashFailed();
}

tInsikaTlvDataTransactItem::~tInsikaTlvDataTransactItem() = default;

void tInsikaTlvDataTransactItem::AddTaxes(const tFiscItemTaxTable& taxes) {
  for (size_t index = 1; index < taxes.size(); ++index) {
    const tFiscItemTaxRec& slot = taxes[index];
    if (!slot.Used || slot.Amount.IsZero()) continue;
    AddAmount(static_cast<uint8_t>(kTagTaxAmount + index), slot.Amount, kMaxAmountBytes);
  }
}

void tInsikaTlvDataTransactItem::AddSaleItem(const tFiscSaleItemRec& item) {
  std::string quantity;
  AppendBcdText(quantity, item.Quantity, true);
  AddText(kTagQuantity, quantity, false, kMaxQuantity);
  AddText(kTagUnit, item.Text.view(), true, kMaxUnit);
  AddText(kTagName, item.Plu.Name.view(), true, kMaxName);
  AddTaxes(item.Taxes);
}

void tInsikaTlvDataTransactItem::AddAdjust(const tFiscAdjustRec& adjust) {
  AddText(kTagQuantity, "1", false, kMaxQuantity);
  AddText(kTagName, adjust.Ref.Name.view(), true, kMaxName);
  AddEmpty(kTagAdjustMarker);
  AddTaxes(adjust.Taxes);
}

void tInsikaTlvDataTransactItem::Hash() {
  digest_.fill(0);
  if (Length() == 0) return;
  unsigned int size = 0;
  const std::string_view data = Data();
  if (EVP_DigestInit_ex(hasher_.get(), sha1_.get(), nullptr) != 1 ||
      EVP_DigestUpdate(hasher_.get(), data.data(), data.size()) != 1 ||
      EVP_DigestFinal_ex(hasher_.get(), digest_.data(), &size) != 1 || size != kDigestSize) {
    HashFailed();
  }
}

std::string tInsikaTlvDataTransactItem::DigestHex() const {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string text;
  text.reserve(2 * kDigestSize);
  for (const uint8_t b : digest_) {
    text += kHex[b >> 4];
    text += kHex[b & 0xF];
  }
  return text;
}
