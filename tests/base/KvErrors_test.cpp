#include "base/KvErrors.h"

#include <gtest/gtest.h>

#include <type_traits>

#include "base/KvErrorCodes.h"
#include "base/RaiseTestHelp.h"

namespace {
using raise_test::MessageOf;

// A stand-in named like one of the program's classes, to see the prefix.
class tFiscalDataParserNative : public tKvClass {};

TEST(KvErrors, MessagesAndCheckIoResult) {
  const tFiscalDataParserNative parser;
  const std::pair<std::string, const char*> cases[] = {
      {EKvParam(&parser, "tFiscalDataParserNative.Create: invalid Writer").what(),
       "[tFiscalDataParserNative] tFiscalDataParserNative.Create: invalid Writer"},
      {EKvRoot(&parser, "").what(), "[tFiscalDataParserNative] "},
      {EKvRoot(nullptr, "plain").what(), "plain"},
      {EKvMisc("EOF").what(), "EOF"},
      {EKvIo(nullptr, 2, "").what(), "Code: 2"},
      {EKvIo(nullptr, kErrFileWrite, "Write error").what(),
       "Write error\rCode: -2112 (File write error)"},
      {EKvIo(&parser, -5, "Read error").what(),
       "[tFiscalDataParserNative] Read error\rCode: -5 (Error -5)"},
      {EKvIo("Error creating destination directory: \"/x/\"").what(),
       "Error creating destination directory: \"/x/\""}};
  for (const auto& [actual, expected] : cases) EXPECT_EQ(actual, expected);
  EXPECT_EQ(EKvIo(nullptr, -2112, "").Code(), -2112);
  EXPECT_EQ(EKvIo("plain").Code(), 0);
  EXPECT_NO_THROW(CheckIoResult(&parser, "Read error", 0));
  int code = 0;
  EXPECT_EQ(MessageOf<EKvIo>([&] { CheckIoResult(&parser, "Read error", kErrFileRead); }, &code),
            "[tFiscalDataParserNative] Read error\rCode: -2111 (File read error)");
  EXPECT_EQ(code, kErrFileRead);
  static_assert(std::is_base_of_v<EKvRoot, EKvIo> && std::is_base_of_v<EKvRoot, EKvParam> &&
                std::is_base_of_v<EKvRoot, EKvMisc> && std::is_base_of_v<std::exception, EKvRoot>);
}

}  // namespace
