// The exception family of the program. Every failure is raised as an
// EKvRoot or one of its subclasses; the message is built once, in the
// constructor, and starts with "[" + class name of the sender + "] " when a
// sender is given. EKvIo also carries a numeric error code (see KvErrorCodes.h).
// Constructing an exception never throws anything but std::bad_alloc.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>

#include "base/KvClass.h"

class EKvRoot : public std::runtime_error {
 public:
  // Plain message, no sender prefix.
  explicit EKvRoot(const std::string& message);
  // "[" + sender->ClassName() + "] " + message; sender may be null.
  EKvRoot(const tKvClass* sender, const std::string& message);

 protected:
  static std::string BuildMessage(const tKvClass* sender, const std::string& message);
};

// Invalid arguments to a constructor or operation.
class EKvParam : public EKvRoot {
 public:
  using EKvRoot::EKvRoot;
};

// Other failures ("Function not supported!", "EOF", ...).
class EKvMisc : public EKvRoot {
 public:
  using EKvRoot::EKvRoot;
};

// Input/output failures. Code 0 when raised with a plain message.
class EKvIo : public EKvRoot {
 public:
  // Plain message, Code() == 0.
  explicit EKvIo(const std::string& message);
  // Message: "Code: <code>" when message is empty, otherwise
  // message + "\r" + FormatErrorCode(code, "").
  EKvIo(const tKvClass* sender, int32_t code, const std::string& message);

  int32_t Code() const { return code_; }

 private:
  int32_t code_ = 0;
};
