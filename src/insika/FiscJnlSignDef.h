// Signature definition files: what the program knows about a signing unit
// beyond the journal, its security-module version and its certificate. One
// INI file per unit, "<id>-<card number>.kvd" in the signature-definition
// folder:
//
//   [STATUS]       Version=<version text, cut to 20 bytes>
//   [CERTIFICATE]  1=<piece> 2=<piece> ...   joined without separator up to
//                                             the first missing or blank key
//
// The certificate is kept whole whatever its length: a cut certificate would
// be a corrupted one. The id comes from the journal: one that could name a
// file outside the folder (a "/", a "\", a control byte, or "." or "..")
// is never looked up and reads as not found. A file that exists but cannot
// be read raises EKvIo.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// The result of a lookup. Intentionally copyable.
struct tSignDefRec {
  static constexpr size_t kMaxVersion = 20;

  bool HasStatus = false;   // the file has a [STATUS] section
  std::string TimVersion;   // empty without status
  std::string Certificate;  // empty when none
};

// Fills rec from the definition of the unit (id, cardNr) in folder (the
// program folder when folder is empty or blank). True when a certificate
// was found; rec is cleared first in any case.
bool ReadSignDef(std::string_view folder, std::string_view id, int32_t cardNr, tSignDefRec& rec);
