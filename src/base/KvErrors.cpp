#include "base/KvErrors.h"

#include "base/KvErrorCodes.h"

std::string EKvRoot::BuildMessage(const tKvClass* sender, const std::string& message) {
  std::string text;
  if (sender != nullptr) text.append(1, '[').append(sender->ClassName()).append("] ");
  text += message;
  return text;
}

EKvRoot::EKvRoot(const std::string& message) : std::runtime_error(message) {}

EKvRoot::EKvRoot(const tKvClass* sender, const std::string& message)
    : std::runtime_error(BuildMessage(sender, message)) {}

EKvIo::EKvIo(const std::string& message) : EKvRoot(message) {}

namespace {
std::string IoMessage(int32_t code, const std::string& message) {
  std::string text;
  if (message.empty()) return text.append("Code: ").append(std::to_string(code));
  return text.append(message).append(1, '\r').append(FormatErrorCode(code, ""));
}
}  // namespace

EKvIo::EKvIo(const tKvClass* sender, int32_t code, const std::string& message)
    : EKvRoot(sender, IoMessage(code, message)), code_(code) {}
