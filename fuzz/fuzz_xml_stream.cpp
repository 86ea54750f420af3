// fuzz-links: jorvex_xml
// fuzz-ci-runs: 5000
// Arbitrary elements written twice: by the document's stream, straight into
// its file, and as libxml2 nodes of a document saved whole (the reference).
// The two files must be the same bytes.
//   byte 0, bit 0  UTF-8 instead of ISO-8859-1; bit 1  the root has a first
//                  child before the stream opens
//   then per element one byte: bits 0-1 the operation (start, text element,
//   empty element, end), bits 2-4 the name; a text element's byte is
//   followed by the text's length (one byte) and the text.
// Elements still open at the end are ended.

#include <stdlib.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <string_view>

#include "xml/KvXmlStream.h"
#include "xml/KvXmlTreeWriter.h"

namespace {

constexpr std::string_view kNames[] = {"a",   "item", "name", "x-y", "containerVat1",
                                       "b.c", "_",    "t"};

// The elements of the input to writer.
void Write(const uint8_t* data, size_t size, tKvXmlElementWriter& writer) {
  size_t depth = 0;
  for (size_t i = 1; i < size;) {
    const uint8_t op = data[i++];
    const std::string_view name = kNames[(op >> 2) & 7];
    switch (op & 3) {
      case 0:
        writer.Start(name);
        ++depth;
        break;
      case 1: {
        const size_t length = i < size ? data[i++] : 0;
        const size_t take = length < size - i ? length : size - i;
        writer.TextElement(name, std::string_view(reinterpret_cast<const char*>(data + i), take));
        i += take;
        break;
      }
      case 2:
        writer.EmptyElement(name);
        break;
      default:
        if (depth == 0) break;
        writer.End();
        --depth;
    }
  }
  for (; depth > 0; --depth) writer.End();
}

const std::string& Folder() {
  static const std::string folder = [] {
    char name[] = "/tmp/fuzz_xml_stream.XXXXXX";
    if (mkdtemp(name) == nullptr) abort();
    return std::string(name);
  }();
  return folder;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  if (size == 0 || size > (1u << 16)) return 0;
  const char* encoding = (data[0] & 1) != 0 ? "UTF-8" : "ISO-8859-1";
  auto whole = tKvXml::CreateNew("1.0", encoding, "root");
  auto streamed = tKvXml::CreateNew("1.0", encoding, "root");
  if ((data[0] & 2) != 0) {
    for (tKvXml* xml : {whole.get(), streamed.get()}) {
      xml->AddTextNode(xml->AddNode(xml->Root(), "info"), "version", "1.0");
    }
  }
  const std::string path = Folder() + "/doc.xml";
  {
    tKvXmlTreeWriter tree(*whole);
    Write(data, size, tree);
    tKvXmlStream stream(*streamed, path);
    Write(data, size, stream);
    stream.Commit(platform::WholeFile::Replace::kYes);
  }
  std::ifstream in(path, std::ios::binary);
  const std::string written((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (written != whole->Text()) {
    std::fprintf(stderr, "stream and tree differ\n");
    abort();
  }
  return 0;
}
