#include "xml/KvXml.h"

#include <gtest/gtest.h>

#include <functional>

#include "base/RaiseTestHelp.h"
#include "platform/TempDir.h"
#include "xml/KvXmlStream.h"
#include "xml/KvXmlTreeWriter.h"

namespace {

using testing_support::TempDir;

std::string Saved(tKvXml& xml) {
  TempDir dir;
  xml.SaveToFile(dir.Path("doc.xml"), platform::WholeFile::Replace::kNo);
  return dir.Read("doc.xml");
}

TEST(KvXmlTest, NewDocumentKeepsDeclarationAndChildOrder) {
  auto xml = tKvXml::CreateNew("1.0", "UTF-8", "X");
  EXPECT_EQ(Saved(*xml), "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<X/>\n");
  tKvXmlNode a = xml->AddNode(xml->Root(), "A");
  xml->AddTextNode(a, "T", "1");
  xml->AddTextNode(a, "T", "");
  xml->AddTextNode(xml->Root(), "T", "<&>");
  EXPECT_EQ(Saved(*xml),
            "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
            "<X><A><T>1</T><T></T></A><T>&lt;&amp;&gt;</T></X>\n");
}

TEST(KvXmlTest, TextsEnterAsWindows1252AndForbiddenBytesAreReplaced) {
  // "ä€" in Windows-1252, a form feed, a NUL and a tab.
  const std::string text("\xE4\x80\x0C\x00\t", 5);
  auto utf8 = tKvXml::CreateNew("1.0", "UTF-8", "X");
  utf8->AddTextNode(utf8->Root(), "T", text);
  EXPECT_NE(Saved(*utf8).find("<T>\xC3\xA4\xE2\x82\xAC\xEF\xBF\xBD\xEF\xBF\xBD\t</T>"),
            std::string::npos);
  // Latin-1 has "ä" but not the euro sign or U+FFFD: character references.
  auto latin = tKvXml::CreateNew("1.0", "ISO-8859-1", "X");
  latin->AddTextNode(latin->Root(), "T", text);
  const std::string saved = Saved(*latin);
  EXPECT_EQ(saved.rfind("<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>", 0), 0u) << saved;
  EXPECT_NE(saved.find("<T>\xE4&#8364;&#65533;&#65533;\t</T>"), std::string::npos) << saved;
  EXPECT_EQ(latin->NodeText(latin->Root()), "<X><T>\xE4&#8364;&#65533;&#65533;\t</T></X>");
}

TEST(KvXmlTest, ParsedDoctypeIsKeptWithoutOpeningTheDtd) {
  auto xml = tKvXml::CreateFromText(
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?><!DOCTYPE D SYSTEM \"missing.dtd\"><D></D>");
  xml->AddNode(xml->Root(), "E");
  EXPECT_EQ(Saved(*xml),
            "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<!DOCTYPE D SYSTEM \"missing.dtd\">\n"
            "<D><E/></D>\n");
}

// The same elements written twice: as libxml2 nodes of a document saved
// whole, and straight into the file by the stream; every byte value in a
// text, in both encodings the stream writes.
TEST(KvXmlTest, StreamedDocumentEqualsTheWholeOne) {
  std::string all;
  for (int b = 0; b < 256; ++b) all += static_cast<char>(b);
  for (const char* encoding : {"iso-8859-1", "UTF-8"}) {
    for (bool withFirstChild : {true, false}) {
      auto whole = tKvXml::CreateNew("1.0", encoding, "R");
      auto streamed = tKvXml::CreateNew("1.0", encoding, "R");
      for (tKvXml* xml : {whole.get(), streamed.get()}) {
        if (withFirstChild) xml->AddTextNode(xml->AddNode(xml->Root(), "info"), "version", "1.0");
      }
      TempDir dir;
      tKvXmlTreeWriter tree(*whole);
      tKvXmlStream out(*streamed, dir.Path("s.xml"));
      for (tKvXmlElementWriter* writer : {static_cast<tKvXmlElementWriter*>(&tree),
                                          static_cast<tKvXmlElementWriter*>(&out)}) {
        for (int i = 0; i < 2; ++i) {
          writer->Start("e");
          writer->TextElement("t", all + std::to_string(i));
          writer->Start("inner");
          writer->TextElement("t", "");
          writer->EmptyElement("empty");
          writer->Start("childless");
          writer->End();
          writer->End();
          writer->End();
        }
        writer->TextElement("last", "x");
      }
      out.Commit(platform::WholeFile::Replace::kNo);
      EXPECT_EQ(dir.Read("s.xml"), Saved(*whole)) << encoding << withFirstChild;
      EXPECT_EQ(streamed->NodeText(streamed->Root()),
                withFirstChild ? "<R><info><version>1.0</version></info></R>" : "<R/>");
    }
  }
}

TEST(KvXmlTest, Failures) {
  const auto expectXml = [](const std::function<void()>& call, const std::string& message) {
    EXPECT_EQ(raise_test::MessageOf<EKvXml>(call), message);
  };
  auto xml = tKvXml::CreateNew("1.0", "UTF-8", "X");
  expectXml([&] { tKvXml::CreateFromText("<D><E></D>"); }, "Error initializing XML document!");
  expectXml([&] { xml->AddNode(xml->Root(), "A B"); }, "A B");
  expectXml([&] { tKvXml::CheckNode(nullptr, ""); }, "XML-Node not assigned.");
  expectXml([&] { xml->SaveToFile("/nonexistent-folder/doc.xml", platform::WholeFile::Replace::kYes); },
            "[tKvXml] Error saving XML document \"/nonexistent-folder/doc.xml\": " +
                std::string("Code: 2 (No such file or directory)"));
}

}  // namespace
