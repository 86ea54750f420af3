// The in-place scanner of the parse into an event buffer: takes the common
// items of a range straight from the stream file's bytes, without building
// an element, and hands them to the buffer as the parser would. Common are
// the items that cannot fail once their bytes are there: fields whose
// element is regular (KvKPosWireFormat.h) and record starts whose type is a
// plain integer. It stops at the first other item and leaves that to the
// parser. It reads only the bytes it is given and keeps no state.
#pragma once

#include <cstdint>

class tKvKPosFiscalEventBuffer;

// Where and why a scan stopped. Intentionally copyable.
struct tKvKPosScanStop {
  enum class tKind : uint8_t {
    kRangeEnd,  //!< the range ends at Pos
    kBackLink,  //!< a back link item at Pos with a plain integer distance
    kOther,     //!< any other item at Pos, or its bytes are not all there
  };
  tKind Kind = tKind::kOther;
  int64_t Pos = 0;       // the framing byte of the item stopped at
  int32_t Distance = 0;  // kBackLink: the distance
  int64_t After = 0;     // kBackLink: behind the item
};

// Scans the items at data[pos, end) into buffer (positions relative to
// data) until the range that began at start with length bytes ends, or an
// item that is not common comes.
// REQUIRES: pos, end within the bytes of data; pos - start <= length.
tKvKPosScanStop ScanInPlace(const uint8_t* data, int64_t pos, int64_t end, int64_t start,
                            int64_t length, tKvKPosFiscalEventBuffer& buffer);
