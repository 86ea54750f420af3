#include "check/PackageCheck.h"

#include <algorithm>
#include <map>
#include <set>

#include "check/ExportUrl.h"

namespace check {

namespace {

std::string Folded(std::string_view name) {
  std::string folded(name);
  for (char& c : folded) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return folded;
}

class tPackageChecker {
 public:
  tPackageChecker(const std::vector<std::string>& entries, tFindings& findings)
      : entries_(entries), findings_(findings), present_(entries.begin(), entries.end()) {
    for (const std::string& entry : entries) {
      const std::string folded = Folded(entry);
      auto [it, added] = byFolded_.emplace(folded, entry);
      if (!added) {
        const bool same = it->second == entry;
        Report(tCode::kNameTwice, entry, 0, entry,
               same ? "the export holds " + entry + " twice"
                    : "the export holds " + it->second + " and " + entry);
      }
    }
  }

  // The entry url names, or nullopt after a C103..C106 finding. extension:
  // the URL is an Extension's (C331 when absent).
  std::optional<std::string> Find(const std::string& url, uint64_t line, bool extension) {
    std::string entry;
    switch (ResolveUrl(url, &entry)) {
      case tUrlKind::kAbsolute:
        Report(tCode::kUrlAbsolute, kIndexName, line, url, "URL " + url + " is not relative");
        return std::nullopt;
      case tUrlKind::kOutside:
        Report(tCode::kUrlOutside, kIndexName, line, url,
               "URL " + url + " leads outside the export");
        return std::nullopt;
      case tUrlKind::kInside:
        break;
    }
    declared_.insert(entry);
    if (present_.count(entry) > 0) return entry;
    if (const auto it = byFolded_.find(Folded(entry)); it != byFolded_.end()) {
      declared_.insert(it->second);
      Report(tCode::kUrlCaseOnly, kIndexName, line, url,
             "URL " + url + " matches " + it->second + " only by case");
      return std::nullopt;
    }
    Report(extension ? tCode::kExtensionMissing : tCode::kFileMissing, kIndexName, line, url,
           "URL " + url + " names no file of the export");
    return std::nullopt;
  }

  // URLs of two tables that differ in case only (equal ones are C325).
  void CheckUrlCases(const tExportIndex& index) {
    std::map<std::string, std::string> seen;
    for (const tTableDecl& table : index.Tables) {
      auto [it, added] = seen.emplace(Folded(table.Url), table.Url);
      if (!added && it->second != table.Url) {
        Report(tCode::kNameTwice, kIndexName, table.IndexLine, table.Url,
               "URLs " + it->second + " and " + table.Url + " differ by case only");
      }
    }
  }

  void CheckUndeclared(const std::string& dtdEntry) {
    for (const std::string& entry : entries_) {
      if (entry == kIndexName || entry == dtdEntry || declared_.count(entry) > 0) continue;
      Report(tCode::kFileUndeclared, entry, 0, entry, "the index declares no file " + entry);
    }
  }

 private:
  void Report(tCode code, const std::string& file, uint64_t line, const std::string& excerpt,
              std::string message) {
    findings_.Add({code, file, line, 0, {}, excerpt, std::move(message)});
  }

  const std::vector<std::string>& entries_;
  tFindings& findings_;
  std::map<std::string, std::string> byFolded_;  // folded name -> first entry of that name
  std::set<std::string> declared_;
  std::set<std::string> present_;
};

}  // namespace

bool FindIndex(const std::vector<std::string>& entries, tFindings& findings) {
  if (std::find(entries.begin(), entries.end(), kIndexName) != entries.end()) return true;
  const auto nested = std::find_if(entries.begin(), entries.end(), [](const std::string& entry) {
    return entry.size() > sizeof kIndexName && entry.ends_with(std::string("/") + kIndexName);
  });
  if (nested != entries.end()) {
    findings.Add({tCode::kIndexNotAtRoot,
                  *nested,
                  0,
                  0,
                  {},
                  {},
                  "index.xml lies in a sub-folder: " + *nested});
  } else {
    findings.Add({tCode::kNoIndex, {}, 0, 0, {}, {}, "the export holds no index.xml"});
  }
  return false;
}

void CheckPackage(tExportIndex& index, const std::vector<std::string>& entries,
                  tFindings& findings) {
  tPackageChecker checker(entries, findings);
  checker.CheckUrlCases(index);
  for (tTableDecl& table : index.Tables) {
    if (table.Url.empty()) continue;  // C411 already
    const auto entry = checker.Find(table.Url, table.IndexLine, false);
    if (entry) {
      table.Url = *entry;
    } else {
      table.Readable = false;
    }
  }
  for (const std::string& url : index.ExtensionUrls) checker.Find(url, 0, true);
  std::string dtdEntry;
  if (ResolveUrl(index.DtdName, &dtdEntry) != tUrlKind::kInside) dtdEntry.clear();
  checker.CheckUndeclared(dtdEntry);
}

}  // namespace check
