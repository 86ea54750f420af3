// tKvLog: what the parts of the program that report see of the export log:
// sections and entries of six kinds. The log itself (the file, the counts and
// the summary) lives with the conversion run; the exporters, evaluators and
// writers borrow it through this interface. Operations raise EKvIo when the
// log cannot be written.
// Threads: the log is written by the thread that drives the evaluator chain
// (in the native pass the event pipe's thread, which also writes the
// parse's lines for it); IsWritten may be asked from the producer's thread
// as well and must answer from settings fixed before the pass.
#pragma once

#include <string_view>

#include "base/KvClass.h"

class tKvLog : public tKvClass {
 public:
  // Entry kinds: the second argument of every operation. Kinds above 5
  // behave like kEntry.
  enum : int {
    kPlain = 0,    //!< always written
    kBlock = 1,    //!< block lines; always written
    kEntry = 2,    //!< entry lines; only with /L
    kHint = 3,     //!< " [HINT]", counted; only with /L
    kWarning = 4,  //!< " [WARNING]", counted; only with /L
    kError = 5,    //!< " [ERROR]", counted; always written
  };

  // Slot 0: opens a section headed by text.
  virtual void BeginSection(std::string_view text, int kind) = 0;
  // Slot 1: closes the innermost section with text.
  virtual void EndSection(std::string_view text, int kind) = 0;
  // Slot 2: one entry.
  virtual void Add(std::string_view text, int kind) = 0;
  // Whether entries of kind are written, so that a caller can skip
  // building a text nobody reads.
  virtual bool IsWritten(int kind) const = 0;
};
