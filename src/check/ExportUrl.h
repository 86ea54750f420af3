// ResolveUrl: where a URL of index.xml (a table's, an Extension's, the
// DOCTYPE's DTD) leads inside the export. URLs are relative to the export's
// root and '/' separated; "." and empty segments are dropped and ".." goes up
// one folder. Pure functions; any thread.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace check {

enum class tUrlKind : uint8_t {
  kInside,    // a relative URL naming a file inside the export
  kAbsolute,  // a scheme ("file:", "http:"), a drive ("C:"), or a leading '/' or '\'
  kOutside,   // a relative URL that climbs above the export's root, or names none
};

// Classifies url; for kInside, *entry is the export entry it names.
tUrlKind ResolveUrl(std::string_view url, std::string* entry);

// Whether a and b are equal when ASCII letters are compared without case.
bool EqualIgnoringCase(std::string_view a, std::string_view b);

}  // namespace check
