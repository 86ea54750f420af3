// Shared by the fuzz targets of the binary journal: the first input byte
// selects the parse options, the rest is the stream.
#pragma once

#include <cstddef>
#include <cstdint>

#include "stream/KvKPosComStream.h"

namespace fuzz {

struct Options {
  uint8_t Version;      // expected header version 0, 1 or 2
  bool LengthPrefixed;  // a version-2 stream with length values
  bool PassLinks;       // hand back links to the writer
  bool Window;          // limit the source to the stream's size
};

inline Options DecodeOptions(uint8_t flags) {
  return {static_cast<uint8_t>(flags % 3), (flags & 0x04) != 0, (flags & 0x08) != 0,
          (flags & 0x10) != 0};
}

// Fills file with the stream bytes and moves to its start.
inline void Load(tKvKPosStreamFileMem& file, const uint8_t* data, std::size_t size) {
  if (size > 0) file.WriteBuffer(data, static_cast<int32_t>(size));
  file.SetPosition(0);
}

}  // namespace fuzz
