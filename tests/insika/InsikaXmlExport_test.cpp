// The document over small scripted journals (see eval/EvalTestHelp.h):
// whole elements compared byte for byte.
#include <gtest/gtest.h>

#include "eval/EvalTestHelp.h"
#include "eval/FiscalDataParserAsciiInt.h"
#include "eval/KvFiscalStreamWriterEval.h"
#include "gen/AsciiWriter.h"
#include "gen/GenOutput.h"
#include "gen/Shop.h"
#include "insika/FiscalStreamEvalInsikaXmlExport.h"
#include "platform/TempDir.h"
#include "xml/KvXmlTreeWriter.h"

namespace {

using testing_support::TempDir;

const std::string kHead =
    "<?xml version=\"1.0\" encoding=\"iso-8859-1\"?>\n<insika><document-information>"
    "<version>1.0</version></document-information>";

// Header of 5 March 2016 08:00, operator "Anna", currency 978.
std::string Header(int seqNo, const std::string& unit = "F1=s:DE1 F2=i:2", const char* more = "") {
  return "R1@2 F1=t:" + std::to_string(tKvDateTime::Encode(2016, 3, 5, 8).Value) +
         " R2@3 F1=f:1 F2=s:Anna R0@2 F9=i:" + std::to_string(seqNo) + " R10@3 " + unit + " " +
         more + " R0@2 R11@3 F2=i:978 R0@2 ";
}
std::string Entry(int code, const std::string& body) {
  return "E R" + std::to_string(code) + "@1 " + body + " e ";
}
std::string Sale(const char* name, const char* qty, int tax, const char* amount, int kind = 2) {
  return "R" + std::to_string(kind) + "@2 R1@3 F1=f:1 F2=s:" + name + " R0@2 F2=b:" + qty +
         " R4@3 F1=i:" + std::to_string(tax) + " F2=b:" + amount + " R0@2 ";
}
const std::string kSig = "R7@2 F2=s:SIG ";

class InsikaExportTest : public ::testing::Test {
 protected:
  InsikaExportTest() {
    std::filesystem::create_directory(dir_.Path("kvd"));
    dir_.Write("kvd/DE1-2.kvd", "[STATUS]\nVersion=T.1.2\n[CERTIFICATE]\n1=C0\n2=FF\n");
    dir_.Write("kvd/DE2-1.kvd", "[CERTIFICATE]\n1=AB\n");
  }
  // The elements after "document-information", each as written (none when
  // the exporter is released without close).
  std::vector<std::string> Run(const std::string& script, bool close = true) {
    tFiscalStreamEvalInsikaXmlExport exporter(dir_.Path("out.xml"), dir_.Path("kvd"),
                                              platform::WholeFile::Cache::kKeep, log_, nullptr);
    eval_test::Play(exporter, "B1 " + script);
    if (!close) return {};
    exporter.Close();
    const std::string doc = dir_.Read("out.xml");
    EXPECT_EQ(doc.substr(0, kHead.size()), kHead);
    EXPECT_EQ(doc.substr(doc.size() - 10), "</insika>\n");
    std::vector<std::string> out;
    int depth = 0;
    size_t start = kHead.size();
    for (size_t i = start, end; (i = doc.find('<', i)) + 10 < doc.size(); i = end) {
      end = doc.find('>', i);
      depth += doc[i + 1] == '/' ? -1 : doc[end - 1] == '/' ? 0 : 1;
      if (depth == 0) out.push_back(doc.substr(start, end + 1 - start)), start = end + 1;
    }
    return out;
  }

  TempDir dir_;
  eval_test::tRecordingLog log_;
};

TEST_F(InsikaExportTest, ReceiptItemsInDeliveryOrderWithOneHash) {
  const std::string discount = "R3@2 R1@3 F1=i:1 F2=s:Rabatt R0@2 R3@3 F1=i:1 F2=b:-0.30 R0@2 ";
  const std::string closing =
      "R5@2 R2@3 R1@4 F1=i:1 F2=b:19 R0@3 F2=b:3 F3=b:0.48 F4=b:-0.3 R0@2 "
      "R2@3 R1@4 F1=i:2 F2=b:7 R0@3 F4=b:-1 F6=i:1 R0@2 ";
  const std::string receipt =
      Entry(2, Header(5, "F1=s:DE1 F2=i:2", "") + Sale("Brot", "2", 1, "3") + discount +
                   Sale("Milch", "1.5", 2, "1.20") + "F6=s:kg " + closing + kSig);
  const auto elements = Run(receipt + receipt);
  // The hash: SHA-1 of A0 01 "2" A2 04 "brot" B1 02 30 0C, A0 01 "1" A2 06
  // "rabatt" AA 00 B1 02 03 0D, A0 03 "1.5" A1 02 "kg" A2 05 "milch" B2 02 12 0C.
  ASSERT_EQ(elements.size(), 3u);
  EXPECT_EQ(elements[2], elements[1]);  // nothing carried over from the first receipt
  EXPECT_EQ(elements[1],
            "<transaction><date>20160305</date><time>0800</time><tpId>DE1</tpId><tpIdNo>2</tpIdNo>"
            "<operatorId>Anna</operatorId><currency>0978</currency><seqNoTransaction>5"
            "</seqNoTransaction><itemList><item><qnt>2</qnt><name>Brot</name><price1>300</price1>"
            "</item><item><qnt>1</qnt><name>Rabatt</name><discountSurcharge/><price1>-30</price1>"
            "</item><item><qnt>1.5</qnt><unit>kg</unit><name>Milch</name><price2>120</price2>"
            "</item></itemList><hashTransactionItems>DBEE8DAAA4597D2E5E8FD6FE0E8FF78107C0D333"
            "</hashTransactionItems>"
            "<containerVat1><turnover>300</turnover><turnoverNeg>-30</turnoverNeg><vat>48</vat>"
            "<vatRate>1900</vatRate></containerVat1><containerVat2><turnoverNeg>-100</turnoverNeg>"
            "<vatRate>0700</vatRate><overflow/></containerVat2><sig>SIG</sig></transaction>");
}

TEST_F(InsikaExportTest, OneDescriptionPerSigningUnitBeforeItsFirstEntry) {
  const auto elements = Run(Entry(2, Header(1) + kSig) + Entry(1, Header(2) + kSig) +
                            Entry(5, Header(3, "F1=s:DE2 F2=i:1") + kSig) +
                            Entry(2, Header(4, "F1=s:DE3 F2=i:7") + kSig));
  ASSERT_EQ(elements.size(), 7u);
  EXPECT_EQ(elements[0],
            "<timParams><tpId>DE1</tpId><tpIdNo>2</tpIdNo><itemProfile>1</itemProfile><timVersion>"
            "T.1.2</timVersion><certificate>C0FF</certificate></timParams>");
  EXPECT_EQ(elements[3],
            "<timParams><tpId>DE2</tpId><tpIdNo>1</tpIdNo><itemProfile>1</itemProfile><timVersion>"
            "T.0.0.0</timVersion><certificate>AB</certificate></timParams>");
  EXPECT_EQ(elements[5],
            "<timParams><tpId>DE3</tpId><tpIdNo>7</tpIdNo><itemProfile>1</itemProfile></timParams>");
  EXPECT_EQ(log_.Lines,
            (std::vector<std::string>{"5:TIM-Version not found: ID=\"DE2\"; CardNr=1",
                                      "4:Certificate not found: ID=\"DE3\"; CardNr=7"}));
}

// Each pair of taxpayer id and card number is one signing unit, described once.
TEST_F(InsikaExportTest, SigningUnitIsIdAndCardNumber) {
  std::string script, written;  // written: "tim" per description, "tra" per transaction
  for (const char* unit : {"DE1 F2=i:2", "DE1 F2=i:3", "DE9 F2=i:2", "DE1 F2=i:2", "DE1- F2=i:3",
                           "DE1 F2=i:-3", "DE1 F2=i:-3"})
    script += Entry(2, Header(1, std::string("F1=s:") + unit) + kSig);
  for (const std::string& element : Run(script)) written += element.substr(1, 3);
  EXPECT_EQ(written, "timtratimtratimtratratimtratimtratra");
}

TEST_F(InsikaExportTest, ReportWithTaxAndCounterContainers) {
  const std::string body =
      Header(9, "F1=s:DE1 F2=i:2", "F4=i:3 R0@2 F13=i:11 F12=i:42") +
      "R26@2 F1=b:2 F2=b:10.5 F3=i:1 R6@2 F2=b:0 R3@2 R1@3 F1=i:1 F2=b:19 R0@2 F2=b:100 F3=b:15.97 "
      "F5=b:12 R4@2 F2=s:RSIG ";
  const auto elements = Run(Entry(4, body));
  ASSERT_EQ(elements.size(), 2u);
  EXPECT_EQ(elements[1],
            "<report><date>20160305</date><time>0800</time><tpId>DE1</tpId><tpIdNo>2</tpIdNo>"
            "<lifeCycle>03</lifeCycle><seqNoReport>9</seqNoReport><seqNoTransactionFirst>11"
            "</seqNoTransactionFirst><seqNoTransactionLast>42</seqNoTransactionLast><containerVat1>"
            "<turnover>10000</turnover><vat>1597</vat><vatRate>1900</vatRate><cnt>12</cnt>"
            "</containerVat1><containerThirdparty><turnover>1050</turnover><cnt>2</cnt><overflow/>"
            "</containerThirdparty><containerDeliverynote><turnover>0</turnover>"
            "</containerDeliverynote><sig>RSIG</sig></report>");
}

TEST_F(InsikaExportTest, EntriesLeftOutAndTextRules) {
  Run(Entry(2, Header(1) + kSig), false);  // a failed run leaves no file
  EXPECT_FALSE(dir_.Exists("out.xml.tmp") || dir_.Exists("out.xml"));
  const std::string odd = "Kaffee\x96\x01";
  const auto elements =
      Run(Entry(6, Header(1) + kSig) + Entry(2, Header(2) + Sale("Tee", "1", 1, "2")) +
          Entry(2, Header(3) + kSig) + "V1,2 " + Entry(2, Sale("Tee", "1", 1, "2") + kSig) +
          "V1,1 " + Entry(2, Header(4) + Sale(odd.c_str(), "1", 1, "2", 9) + kSig));
  // Only 3 and 4 (once each); 3 without items has neither list nor hash.
  ASSERT_EQ(elements.size(), 3u);
  EXPECT_NE(elements[1].find("<seqNoTransaction>3</seqNoTransaction><sig>"), std::string::npos);
  EXPECT_NE(elements[2].find("<seqNoTransaction>4</"), std::string::npos);
  EXPECT_NE(elements[2].find("<itemList><item><qnt>1</qnt><name>Kaffee_&#65533;</name>"
                             "<priceThirdparty1>200</priceThirdparty1></item></itemList>"),
            std::string::npos)
      << elements[2];
}

// A generated journal's document written in one pass twice: by the exporter,
// whose stream writes the elements directly, and by a second picker behind
// it that builds them as libxml2 nodes of a document saved whole.
TEST_F(InsikaExportTest, GeneratedJournalEqualsTheLibxml2Tree) {
  jgen::StringOut journal;
  {
    jgen::AsciiWriter ascii(&journal, 2);
    jgen::WriteRandom(&ascii, 11, uint64_t{3} << 20);
  }
  dir_.Write("gen.txt", journal.Text());
  const std::string kvd = std::string(JORVEX_SOURCE_DIR) + "/examples/kvd";
  auto tree = tKvXml::CreateNew("1.0", "iso-8859-1", "insika");
  tKvXmlNode info = tree->AddNode(tree->Root(), "document-information");
  tree->AddTextNode(info, "version", "1.0");
  tKvXmlTreeWriter treeWriter(*tree);
  tFiscalStreamPickInsikaXmlExport treePicker(treeWriter, kvd, log_);
  tFiscalStreamEvalInsikaXmlExport exporter(
      dir_.Path("out.xml"), kvd, platform::WholeFile::Cache::kDropBehind, log_,
      std::make_unique<tFiscalStreamEvalExportBase>(log_, &treePicker, nullptr));
  {
    tFiscalDataSourceTextFileDOS source(dir_.Path("gen.txt"));
    tFiscalDataParserAsciiInt parser(&source, nullptr, 0);
    tKvFiscalStreamWriterEval writer(true, nullptr, &exporter);
    parser.Run(&writer);
  }
  exporter.Close();
  const std::string direct = dir_.Read("out.xml");
  EXPECT_GT(direct.size(), size_t{100000});
  EXPECT_TRUE(direct == tree->Text());  // not printed: megabytes
}

}  // namespace
