#include "xml/KvXml.h"

#include <gtest/gtest.h>

#include <functional>

#include "base/RaiseTestHelp.h"
#include "platform/TempDir.h"
#include "xml/KvXmlStream.h"

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

// The same document built twice: saved whole, and streamed with every
// element of the root written and freed as soon as it is complete.
TEST(KvXmlTest, StreamedDocumentEqualsTheWholeOne) {
  const std::string odd("\xE4\x80\x01<&>\x96", 7);
  for (bool withFirstChild : {true, false}) {
    auto whole = tKvXml::CreateNew("1.0", "iso-8859-1", "R");
    auto streamed = tKvXml::CreateNew("1.0", "iso-8859-1", "R");
    TempDir dir;
    std::unique_ptr<tKvXmlStream> out;
    for (tKvXml* xml : {whole.get(), streamed.get()}) {
      if (withFirstChild) xml->AddTextNode(xml->AddNode(xml->Root(), "info"), "version", "1.0");
      if (xml == streamed.get()) out = std::make_unique<tKvXmlStream>(*xml, dir.Path("s.xml"));
      for (int i = 0; i < 3; ++i) {
        tKvXmlNode e = xml->NewNode("e");
        xml->AddTextNode(e, "t", odd + std::to_string(i));
        xml->AddNode(e, "empty");
        ASSERT_EQ(xml->AppendNode(xml->Root(), e), e);
        if (out && xml == streamed.get()) out->Put(e);
      }
    }
    out->Commit(platform::WholeFile::Replace::kNo);
    EXPECT_EQ(dir.Read("s.xml"), Saved(*whole)) << withFirstChild;
    EXPECT_EQ(streamed->NodeText(streamed->Root()),
              withFirstChild ? "<R><info><version>1.0</version></info></R>" : "<R/>");
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
