// The byte encoding of the items of a signed transaction and their hash.
// Every sale item and every discount or surcharge becomes a short run of
// tag-length-value records; the runs of a transaction's items, concatenated
// in item order, are hashed with SHA-1:
//
//   record := tag (1 byte), n (1 byte, 0-255), value (n bytes)
//   sale item  := A0 quantity, [A1 unit], [A2 name], {B1..B8 tax amount}
//   adjustment := A0 "1", [A2 name], AA (n = 0), {B1..B8 tax amount}
//
// A0 holds the quantity as plain decimal text ("1.5"), A1 and A2 normalised
// texts (AddText), B0 + tax index the tax slot's amount as signed packed
// decimal (AddAmount); zero amounts and empty texts give no record.
//
// tTLV owns its buffer; Clear keeps it, so that one object serves every
// transaction of a run. tInsikaTlvDataTransactItem owns its SHA-1 engine
// (an OpenSSL digest and digest context, shared with nothing); an engine that cannot
// be made or run raises EKvMisc. Like the exporter that owns it, an object
// is made on one thread and may be used on another, one at a time.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "base/KvClass.h"
#include "eval/KvKPosFiscalStreamHelp.h"
#include "stream/KvBcd.h"

struct evp_md_ctx_st;  // OpenSSL's digest context
struct evp_md_st;      // OpenSSL's digest

// Appends value * 10^shift as a decimal integer, rounded half away from
// zero, with "-" in front of a negative one; shift 2 gives an amount in
// cents ("1234" for 12.34, "-50" for -0.5, "0" for zero).
// REQUIRES: 0 <= shift <= 2.
void InsikaAppendInteger(std::string& out, const tKvBcd& value, int shift);

// A growable byte buffer of tag-length-value records.
class tTLV : public tKvClass {
 public:
  tTLV() = default;
  tTLV(const tTLV&) = delete;
  tTLV& operator=(const tTLV&) = delete;

  // Length 0; the storage is kept.
  void Clear() { data_.clear(); }
  // REQUIRES: value.size() <= 255.
  void AddTLV(uint8_t tag, std::string_view value);
  // A record without value (n = 0).
  void AddEmpty(uint8_t tag);

  size_t Length() const { return data_.size(); }
  // The records so far; valid until the next change.
  std::string_view Data() const { return data_; }

 private:
  std::string data_;
};

// The value encodings of the item records.
class tInsikaTlvData : public tTLV {
 public:
  // With normalise, "A"-"Z" become lower case, "a"-"z" and "0"-"9" stay,
  // bytes below 33 and 127 are dropped and every other byte becomes "#";
  // then the text is cut to maxLength bytes (at most 255). Nothing is added
  // for an empty result.
  void AddText(uint8_t tag, std::string_view text, bool normalise, size_t maxLength);
  // The amount times 100 as decimal digits followed by the sign nibble C
  // (positive or zero) or D (negative), a 0 put in front to make the
  // digits pairs, packed two to a byte: 12.34 gives 01 23 4C, -0.5 05 0D.
  // Nothing is added when that takes more than maxBytes bytes.
  void AddAmount(uint8_t tag, const tKvBcd& amount, size_t maxBytes);
};

// The records of a transaction's items and their SHA-1 digest.
class tInsikaTlvDataTransactItem final : public tInsikaTlvData {
 public:
  static constexpr size_t kDigestSize = 20;

  tInsikaTlvDataTransactItem();
  ~tInsikaTlvDataTransactItem() override;

  void AddSaleItem(const tFiscSaleItemRec& item);
  void AddAdjust(const tFiscAdjustRec& adjust);
  // The digest := the SHA-1 of Data(), or 20 zero bytes when it is empty.
  void Hash();
  // The digest as 40 upper-case hexadecimal digits.
  std::string DigestHex() const;

 private:
  void AddTaxes(const tFiscItemTaxTable& taxes);

  struct HasherFree {
    void operator()(evp_md_ctx_st* context) const;
    void operator()(evp_md_st* digest) const;
  };
  // The digest, fetched once rather than looked up by every Hash.
  std::unique_ptr<evp_md_st, HasherFree> sha1_;
  std::unique_ptr<evp_md_ctx_st, HasherFree> hasher_;
  std::array<uint8_t, kDigestSize> digest_{};
};
