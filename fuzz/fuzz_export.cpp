// fuzz-links: jorvex_app
// fuzz-ci-runs: 2000
// The whole conversion, as the command line starts it, on arbitrary input:
// the first byte chooses the run, the rest is the journal file.
//   bit 0  ASCII interface file (/S=1) instead of native text
//   bit 1  INSIKA document instead of the IDEA export
//   bit 2  column headers (/CH=ON)
//   bit 3  detailed log (/L)
//   bit 4  only the periods closed on 03.01.2024 or later (/FROM), the
//          sample's second day
//   bit 5  the export checked (/CHECK)
//   bit 6  the hand-over package (/ZIP)
//   bit 7  the audit report (/AUDIT)
// The journal view (/V) is always written. The run writes into a scratch
// folder that is emptied before and after every input. Jorvex.ini, the DTD
// and the sample's signature definition lie beside this executable (the
// build copies them), so a journal of the sample's signing unit finds its
// definition and any other unit finds none.
//
// Checked after every run: every XML file is well-formed, every record of
// every table has the field count that index.xml declares for it, no
// temporary file is left behind, and a failure that reached the run's catch
// point is of the EKvRoot family (anything else, a crash or a sanitizer
// report is a finding).

#include <dlfcn.h>
#include <libxml/parser.h>
#include <libxml/tree.h>
#include <stdlib.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <exception>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <vector>

#include "FuzzTextInput.h"
#include "app/JorvexMain.h"
#include "base/KvErrors.h"
#include "platform/Console.h"

namespace fs = std::filesystem;

// The exception last caught on this thread. The conversion run catches
// every std::exception at one point and reports it as a console line, so
// the type of what reached that point is taken here: the catch point's own
// catch is the last one on the main thread before the run returns.
namespace {
thread_local std::exception_ptr t_last_caught;
}

extern "C" void* __cxa_begin_catch(void* unwindHeader) noexcept {
  using tBeginCatch = void* (*)(void*) noexcept;
  static const auto real = reinterpret_cast<tBeginCatch>(dlsym(RTLD_NEXT, "__cxa_begin_catch"));
  void* object = real(unwindHeader);
  t_last_caught = std::current_exception();
  return object;
}

namespace {

[[noreturn]] void Finding(const std::string& what) {
  std::fprintf(stderr, "fuzz_export finding: %s\n", what.c_str());
  std::abort();
}

bool IsFamily(const std::exception_ptr& failure) {
  try {
    std::rethrow_exception(failure);
  } catch (const EKvRoot&) {
    return true;
  } catch (...) {
    return false;
  }
}

std::string ReadAll(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

xmlDocPtr ParseXml(const fs::path& file) {
  const std::string text = ReadAll(file);
  xmlDocPtr doc = xmlReadMemory(text.data(), static_cast<int>(text.size()), nullptr, nullptr,
                                XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING);
  if (doc == nullptr) Finding("not well-formed XML: " + file.string());
  return doc;
}

bool Named(const xmlNode* node, const char* name) {
  return node->type == XML_ELEMENT_NODE && xmlStrcmp(node->name, BAD_CAST name) == 0;
}

const xmlNode* Child(const xmlNode* node, const char* name) {
  for (const xmlNode* c = node->children; c != nullptr; c = c->next) {
    if (Named(c, name)) return c;
  }
  return nullptr;
}

// Table file name -> declared field count, from DataSet/Media/Table.
std::map<std::string, std::size_t> DeclaredFieldCounts(xmlDocPtr index) {
  std::map<std::string, std::size_t> counts;
  const xmlNode* media = Child(xmlDocGetRootElement(index), "Media");
  if (media == nullptr) Finding("index.xml without Media");
  for (const xmlNode* table = media->children; table != nullptr; table = table->next) {
    if (!Named(table, "Table")) continue;
    const xmlNode* url = Child(table, "URL");
    const xmlNode* layout = Child(table, "VariableLength");
    if (url == nullptr || layout == nullptr) Finding("index.xml table without URL or columns");
    xmlChar* name = xmlNodeGetContent(url);
    std::size_t fields = 0;
    for (const xmlNode* c = layout->children; c != nullptr; c = c->next) {
      if (Named(c, "VariablePrimaryKey") || Named(c, "VariableColumn")) ++fields;
    }
    counts[reinterpret_cast<const char*>(name)] = fields;
    xmlFree(name);
  }
  return counts;
}

// Checks that every CR LF ended record of the table has fields fields
// (";" between fields outside double quotes; "" inside quotes is a quote).
void CheckTable(const fs::path& file, std::size_t fields) {
  const std::string text = ReadAll(file);
  std::size_t count = 1;
  std::size_t record = 1;
  bool quoted = false;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '"') {
      quoted = !quoted;
    } else if (quoted) {
      continue;
    } else if (c == ';') {
      ++count;
    } else if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') {
      if (count != fields) {
        Finding(file.filename().string() + " record " + std::to_string(record) + " has " +
                std::to_string(count) + " fields, declared " + std::to_string(fields));
      }
      count = 1;
      ++record;
      ++i;
    }
  }
  if (quoted || count != 1) Finding(file.filename().string() + " ends inside a record");
}

void CheckOutput(const fs::path& out) {
  for (const fs::directory_entry& entry : fs::recursive_directory_iterator(out)) {
    const fs::path& file = entry.path();
    if (file.extension() == ".tmp") Finding("temporary file left: " + file.string());
    if (file.extension() == ".xml") xmlFreeDoc(ParseXml(file));
    if (file.filename() != "index.xml") continue;
    xmlDocPtr index = ParseXml(file);
    const std::map<std::string, std::size_t> counts = DeclaredFieldCounts(index);
    xmlFreeDoc(index);
    for (const auto& [name, fields] : counts) {
      const fs::path table = file.parent_path() / name;
      if (fs::exists(table)) CheckTable(table, fields);
    }
  }
}

struct tScratch {
  tScratch() {
    char name[] = "/dev/shm/fuzz_export_XXXXXX";
    if (::mkdtemp(name) == nullptr) Finding("no scratch folder");
    Root = name;
  }
  ~tScratch() {
    std::error_code ignored;
    fs::remove_all(Root, ignored);
  }
  fs::path Root;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  if (size < 1 || size > (1u << 20)) return 0;
  static tScratch scratch;
  static fuzz::tMemoryFile journal("fuzz_export");
  static std::string console;
  const uint8_t flags = data[0];
  journal.Fill(data + 1, size - 1);
  const fs::path out = scratch.Root / "out";
  fs::remove_all(out);
  fs::create_directory(out);

  std::vector<std::string> arguments = {journal.Path(), out.string() + "/", "/V", "/Q", "/INT"};
  if (flags & 1) arguments.push_back("/S=1");
  if (flags & 2) arguments.push_back("/INSIKA");
  if (flags & 4) arguments.push_back("/CH=ON");
  if (flags & 8) arguments.push_back("/L");
  if (flags & 16) arguments.push_back("/FROM=03.01.2024");
  if (flags & 32) arguments.push_back("/CHECK");
  if (flags & 64) arguments.push_back("/ZIP");
  if (flags & 128) arguments.push_back("/AUDIT");
  console.clear();
  t_last_caught = nullptr;
  platform::SetConsoleSinkForTest(&console);
  const int code = JorvexMain(arguments);
  platform::SetConsoleSinkForTest(nullptr);

  if (code != kExitOk) Finding("exit code " + std::to_string(code) + ": " + console);
  if (console.find("[EXCEPTION]") != std::string::npos &&
      (t_last_caught == nullptr || !IsFamily(t_last_caught))) {
    Finding("a failure outside the EKvRoot family reached the run: " + console);
  }
  CheckOutput(out);
  fs::remove_all(out);
  return 0;
}
