#include "app/Comline.h"

#include <array>
#include <memory>
#include <utility>

#include "base/KvErrors.h"
#include "base/KvText.h"
#include "base/KvTextFile.h"
#include "platform/Paths.h"

namespace {

constexpr std::string_view kConfigFileName = "CMDLINE.CFG";
constexpr std::string_view kResponsePrefix = "@@";
// Parameters starting with one of these are left to other tools and dropped.
constexpr std::array<std::string_view, 2> kIgnorePrefixes = {"/Dummy", "/HeapDebug"};

struct ParamList {
  std::vector<std::string> Arguments;  // from the operating system
  std::vector<std::string> Params;
  bool Loaded = false;
};

ParamList& List() {
  static ParamList list;
  return list;
}

char UpperAscii(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
  if (text.size() < prefix.size()) return false;
  for (size_t i = 0; i < prefix.size(); ++i) {
    if (UpperAscii(text[i]) != UpperAscii(prefix[i])) return false;
  }
  return true;
}

void Add(std::vector<std::string>& params, std::string_view text) {
  for (std::string_view prefix : kIgnorePrefixes) {
    if (StartsWithNoCase(text, prefix)) return;
  }
  if (IsBlankOrControl(text) || text.front() == ';') return;
  if (params.size() >= static_cast<size_t>(kComlineMaxParams)) return;
  params.emplace_back(text);
}

// Offers every line of the file to Add; stops quietly at the first failure.
void AddFileLines(std::vector<std::string>& params, const std::string& fileName) {
  std::unique_ptr<tKvTextFileDos> file;
  try {
    file = std::make_unique<tKvTextFileDos>(fileName, tKvTextFileDos::kModeReset);
  } catch (const EKvIo&) {
    return;
  }
  std::string_view line;
  while (!file->Eof() && file->ReadLineView(line) == 0) Add(params, line);
}

ParamList& Loaded() {
  ParamList& list = List();
  if (list.Loaded) return list;
  list.Loaded = true;
  list.Params.clear();
  AddFileLines(list.Params, std::string(kConfigFileName));
  for (const std::string& argument : list.Arguments) {
    if (argument.starts_with(kResponsePrefix)) {
      AddFileLines(list.Params, argument.substr(kResponsePrefix.size()));
    } else {
      Add(list.Params, argument);
    }
  }
  return list;
}

bool Match(std::string_view name, std::string* value) {
  std::vector<std::string>& params = Loaded().Params;
  bool matched = false;
  for (size_t i = 0; i < params.size();) {
    std::string_view entry = params[i];
    if (StartsWithNoCase(entry, name)) {
      std::string_view rest = entry.substr(name.size());
      if (rest.empty() || rest.front() == ':' || rest.front() == '=') {
        if (value != nullptr) value->assign(rest.empty() ? rest : rest.substr(1));
        params.erase(params.begin() + static_cast<std::ptrdiff_t>(i));
        matched = true;
        continue;  // the next entry moved into place i
      }
    }
    ++i;
  }
  return matched;
}

}  // namespace

void ComlineSetArguments(std::vector<std::string> arguments) {
  ParamList& list = List();
  list.Arguments = std::move(arguments);
  list.Params.clear();
  list.Loaded = false;
}

int ComlineParamCount() { return static_cast<int>(Loaded().Params.size()); }

std::string ComlineParam(int index) {
  if (index == 0) return platform::ExecutablePath();
  const std::vector<std::string>& params = Loaded().Params;
  if (index < 1 || static_cast<size_t>(index) > params.size()) return std::string();
  return params[static_cast<size_t>(index) - 1];
}

bool ComlineSwitch(std::string_view name) { return Match(name, nullptr); }

bool ComlineOption(std::string_view name, std::string& value) {
  value.clear();
  return Match(name, &value);
}
