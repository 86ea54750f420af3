#include "base/KvErrorCodes.h"

#include "base/KvErrors.h"
#include "platform/OsError.h"

namespace {

// One switch, so that a new code cannot be forgotten silently.
const char* OwnCodeText(int32_t code) {
  switch (code) {
    case kErrLock: return "Lock error";
    case kErrAlreadyLocked: return "Already locked";
    case kErrLockOverflow: return "Lock overflow";
    case kErrLockDb: return "Lock-DB error";
    case kErrLockDbCreate: return "Error creating Lock-DB";
    case kErrLockDbLock: return "Error locking Lock-DB";
    case kErrLockDbAddRecord: return "Error adding record to Lock-DB";
    case kErrLockDbAddKey: return "Error adding key to Lock-DB";
    case kErrLockDbRead: return "Error reading from Lock-DB";
    case kErrLockDbWrite: return "Error writing to Lock-DB";
    case kErrLockMutex: return "Lock-Mutex error";
    case kErrLockMutexCreate: return "Error creating Lock-Mutex";
    case kErrFileOutOfMemory: return "File error: out of memory";
    case kErrFileRead: return "File read error";
    case kErrFileWrite: return "File write error";
    case kErrFileCryptUnknown: return "File crypt unknown";
    case kErrFileCryptMismatch: return "File crypt mismatch";
    case kErrFileCryptSignature: return "File crypt signature error";
    case kErrDbFileAccess: return "DB-File access error";
    case kErrDbFileRead: return "DB-File read error";
    case kErrDbFileWrite: return "DB-File write error";
    case kErrFieldIoOutOfMemory: return "Field-IO: out of memory";
    case kErrFieldIoParameter: return "Field-IO: parameter error";
    case kErrFieldIoStreamVersion: return "Field-IO read: stream version error";
    case kErrFieldIoStreamData: return "Field-IO read: stream data error";
    case kErrFieldIoRead: return "Field-IO: read error";
    case kErrArrayFull: return "Array full";
    case kErrOutOfMemory: return "Out of memory";
    case kErrUserAbort: return "User abort";
    case kErrException: return "Exception occurred";
    case kErrUnspecific: return "Unspecific error";
    default: return "";
  }
}

void ReplaceAll(std::string& text, std::string_view what, std::string_view by) {
  if (what.empty()) return;
  for (size_t pos = text.find(what); pos != std::string::npos; pos = text.find(what, pos + by.size())) {
    text.replace(pos, what.size(), by);
  }
}

}  // namespace

std::string ErrorCodeText(int32_t code) {
  std::string text;
  try {
    text = code >= 0 ? platform::OsErrorText(code) : OwnCodeText(code);
  } catch (...) {
    text.clear();
  }
  if (text.empty()) text = "Error " + std::to_string(code);
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' ')) {
    text.pop_back();
  }
  return text;
}

std::string FormatErrorCode(int32_t code, std::string_view format) {
  std::string text(format.empty() ? std::string_view("Code: %1 (%2)") : format);
  ReplaceAll(text, "%1", std::to_string(code));
  ReplaceAll(text, "%2", ErrorCodeText(code));
  return text;
}

void CheckIoResult(const tKvClass* sender, const std::string& message, int32_t code) {
  if (code != 0) throw EKvIo(sender, code, message);
}

std::string ReplaceParams(std::string_view format, std::string_view items, char separator) {
  std::string text(format);
  std::string rest(items);
  rest += separator;
  for (int i = 1; !rest.empty(); ++i) {
    size_t sep = rest.find(separator);
    std::string value = rest.substr(0, sep);
    std::string placeholder(1, '%');
    placeholder.append(std::to_string(i));
    ReplaceAll(text, placeholder, value);
    rest.erase(0, sep + 1);
  }
  return text;
}
