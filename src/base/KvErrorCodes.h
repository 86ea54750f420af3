// Numeric error codes and their texts, the check helper of the file classes,
// and the numbered-placeholder formatter used by every "%1 %2" message.
// Codes: 0 success, >= 0 operating-system errno values, < 0 the program's own.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

class tKvClass;

// The program's own codes.
enum : int32_t {
  kErrLock = -1001,
  kErrAlreadyLocked = -1011,
  kErrLockOverflow = -1012,
  kErrLockDb = -1101,
  kErrLockDbCreate = -1111,
  kErrLockDbLock = -1112,
  kErrLockDbAddRecord = -1121,
  kErrLockDbAddKey = -1122,
  kErrLockDbRead = -1131,
  kErrLockDbWrite = -1132,
  kErrLockMutex = -1201,
  kErrLockMutexCreate = -1211,
  kErrFileOutOfMemory = -2101,
  kErrFileRead = -2111,
  kErrFileWrite = -2112,
  kErrFileCryptUnknown = -2121,
  kErrFileCryptMismatch = -2122,
  kErrFileCryptSignature = -2123,
  kErrDbFileAccess = -2202,
  kErrDbFileRead = -2211,
  kErrDbFileWrite = -2212,
  kErrFieldIoOutOfMemory = -2901,
  kErrFieldIoParameter = -2902,
  kErrFieldIoStreamVersion = -2903,
  kErrFieldIoStreamData = -2904,
  kErrFieldIoRead = -2911,
  kErrArrayFull = -3001,
  kErrOutOfMemory = -9996,
  kErrUserAbort = -9997,
  kErrException = -9998,
  kErrUnspecific = -9999,
};

// Text of a code: the OS text for code >= 0, the table text for the
// program's own codes, "Error <code>" otherwise; trailing CR, LF and blanks
// removed. Never throws (except std::bad_alloc).
std::string ErrorCodeText(int32_t code);

// Replaces every "%1" in format by the code and every "%2" by
// ErrorCodeText(code); an empty format means "Code: %1 (%2)".
std::string FormatErrorCode(int32_t code, std::string_view format);

// Raises EKvIo(sender, code, message) unless code is 0.
void CheckIoResult(const tKvClass* sender, const std::string& message, int32_t code);

// Replaces "%1", "%2", ... in format by the values of items, which are
// separated by separator. Plain replacement in numeric order: a value that
// contains "%2" is itself replaced when 2 comes up, and "%1" also matches
// the start of "%10".
std::string ReplaceParams(std::string_view format, std::string_view items, char separator = '\r');
