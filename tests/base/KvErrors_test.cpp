#include "base/KvErrors.h"

#include <gtest/gtest.h>

#include <exception>

#include "base/KvErrorCodes.h"

namespace {

// Stand-ins named like the program's classes, to see the sender prefix.
class tFiscalDataParserNative : public tKvClass {};
class tKvKPosFiscalStreamParser : public tKvClass {};

TEST(KvErrors, MessageNamesTheSender) {
  tFiscalDataParserNative parser;
  tKvKPosFiscalStreamParser stream;
  struct {
    std::string actual;
    const char* expected;
  } cases[] = {
      {EKvParam(&parser, "tFiscalDataParserNative.Create: invalid Writer").what(),
       "[tFiscalDataParserNative] tFiscalDataParserNative.Create: invalid Writer"},
      {EKvRoot(&stream, "invalid data").what(), "[tKvKPosFiscalStreamParser] invalid data"},
      {EKvRoot(&stream, "").what(), "[tKvKPosFiscalStreamParser] "},
      {EKvRoot(nullptr, "plain").what(), "plain"},
      {EKvRoot(nullptr, "").what(), ""},
      {EKvMisc("EOF").what(), "EOF"},
      {EKvRoot("Datei \"x\" nicht gefunden!").what(), "Datei \"x\" nicht gefunden!"},
  };
  for (const auto& c : cases) EXPECT_EQ(c.actual, c.expected);
}

TEST(KvErrors, IoMessageCarriesTheCode) {
  EKvIo bare(nullptr, 2, "");
  EXPECT_STREQ(bare.what(), "Code: 2");
  EXPECT_EQ(bare.Code(), 2);

  EKvIo write(nullptr, kErrFileWrite, "Write error");
  EXPECT_STREQ(write.what(), "Write error\rCode: -2112 (File write error)");
  EXPECT_EQ(write.Code(), -2112);

  tFiscalDataParserNative parser;
  EKvIo withSender(&parser, -5, "Read error");
  EXPECT_STREQ(withSender.what(), "[tFiscalDataParserNative] Read error\rCode: -5 (Error -5)");

  EKvIo direct("Error creating destination directory: \"/x/\"");
  EXPECT_STREQ(direct.what(), "Error creating destination directory: \"/x/\"");
  EXPECT_EQ(direct.Code(), 0);
}

TEST(KvErrors, FamilyIsCaughtThroughItsRoot) {
  auto raise = [](int which) {
    switch (which) {
      case 0:
        throw EKvParam(nullptr, "p");
      case 1:
        throw EKvMisc(nullptr, "m");
      default:
        throw EKvIo(nullptr, 1, "i");
    }
  };
  for (int which = 0; which < 3; ++which) {
    SCOPED_TRACE(which);
    EXPECT_THROW(raise(which), EKvRoot);
    EXPECT_THROW(raise(which), std::exception);
  }
  EXPECT_THROW(raise(2), EKvIo);
}

TEST(CheckIoResult, RaisesOnlyForNonZeroCodes) {
  tFiscalDataParserNative parser;
  EXPECT_NO_THROW(CheckIoResult(&parser, "Read error", 0));
  try {
    CheckIoResult(&parser, "Read error", kErrFileRead);
    FAIL() << "no exception";
  } catch (const EKvIo& e) {
    EXPECT_EQ(e.Code(), kErrFileRead);
    EXPECT_STREQ(e.what(), "[tFiscalDataParserNative] Read error\rCode: -2111 (File read error)");
  }
}

}  // namespace
