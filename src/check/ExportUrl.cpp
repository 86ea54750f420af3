#include "check/ExportUrl.h"

#include <algorithm>
#include <vector>

namespace check {

namespace {

bool IsAlpha(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

// A scheme (RFC 3986: a letter, then letters, digits, "+-.") before ':',
// which also covers a drive letter.
bool HasScheme(std::string_view url) {
  const size_t colon = url.find(':');
  if (colon == std::string_view::npos || colon == 0 || !IsAlpha(url[0])) return false;
  return std::all_of(url.begin(), url.begin() + static_cast<std::ptrdiff_t>(colon), [](char c) {
    return IsAlpha(c) || (c >= '0' && c <= '9') || c == '+' || c == '-' || c == '.';
  });
}

char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

}  // namespace

tUrlKind ResolveUrl(std::string_view url, std::string* entry) {
  if (url.empty()) return tUrlKind::kOutside;
  if (url[0] == '/' || url[0] == '\\' || HasScheme(url)) return tUrlKind::kAbsolute;
  std::vector<std::string_view> segments;
  size_t start = 0;
  while (start <= url.size()) {
    size_t end = url.find('/', start);
    if (end == std::string_view::npos) end = url.size();
    const std::string_view segment = url.substr(start, end - start);
    if (segment == "..") {
      if (segments.empty()) return tUrlKind::kOutside;
      segments.pop_back();
    } else if (!segment.empty() && segment != ".") {
      segments.push_back(segment);
    }
    start = end + 1;
  }
  if (segments.empty() || url.back() == '/') return tUrlKind::kOutside;  // names a folder
  entry->clear();
  for (const std::string_view segment : segments) {
    if (!entry->empty()) entry->push_back('/');
    entry->append(segment);
  }
  return tUrlKind::kInside;
}

bool EqualIgnoringCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(),
                                            [](char x, char y) { return Lower(x) == Lower(y); });
}

}  // namespace check
