// tDocumentKeyHandler: the running keys that link the export's tables to
// each other. Eight counters of 20 decimal digits, all 0 at creation; a
// parent row increments its counter when it starts, and its children carry
// the counter's digit text as their link. Nothing here fails.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "base/KvClass.h"
#include "idea/CsvLine.h"
#include "stream/KvTypes.h"

class tDocumentKeyHandler final : public tKvClass {
 public:
  enum : int {
    kBlock = 0,                //!< BLK_KEY (BlockInfo)
    kRegister = 1,             //!< REG_KEY (Register)
    kTransaction = 2,          //!< DOC_KEY of ordinary transactions
    kBookingMemory = 3,        //!< DOC_KEY of booking-memory transactions
    kOtherTransaction = 4,     //!< DOC_KEY of other transactions
    kEventInfo = 5,            //!< INFO_KEY (EcrEventInfo)
    kMasterData = 6,           //!< DOC_KEY of master-data changes
    kCounters = 8,
  };

  tDocumentKeyHandler() = default;

  // Adds 1 to counter (0-7), in decimal digits; 10^20 - 1 wraps to 0.
  void Increment(int counter);
  // Appends the digit text of counter (nothing before its first increment).
  // Keys are read for every line and changed once per parent row, so their
  // texts are kept beside the counters.
  void AppendKey(tCsvLine& out, int counter) const { out += Texts[Index(counter)]; }

 private:
  static size_t Index(int counter) { return static_cast<size_t>(counter) % kCounters; }
  std::array<tKvBcdFix, kCounters> Keys{};
  std::array<std::string, kCounters> Texts;  // the digit text of each counter; empty at 0
};
