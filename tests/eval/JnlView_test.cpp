// The journal view: whole entries compared byte for byte with the text they
// must give (written in UTF-8 here; "|" marks the end of a line that ends in
// blanks), the heading per journal variant, and the view file.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <iterator>
#include <string>

#include "base/KvCodepage.h"
#include "eval/KvFiscalDataDest.h"
#include "eval/KvFiscalStreamEvalWriteJnlView.h"
#include "eval/KvFiscalStreamPickerJnlView.h"
#include "platform/TempDir.h"

namespace {

class tRecordingDest final : public tKvFiscalDataDestAscii {
 public:
  void WriteLine(std::string_view text) override { Text.append(text).append("\n"); }
  std::string Text;
};

using namespace std::string_view_literals;

tKvBcd Bcd(const char* text) { return tKvBcd::FromText(text); }
tKvBcdFix Fix(const char* text) { return tKvBcdFix::FromText(text); }
tFiscNumTextRec Num(const char* number, std::string_view name) { return {Fix(number), name}; }
tFiscIdTextRec Id(int32_t number, std::string_view name) { return {number, name}; }
tFiscCounterRec Cell(const char* count, const char* amount, bool flag = false) {
  return {Bcd(count), Bcd(amount), flag};
}
tFiscTaxSumSlot TaxSum(int32_t index, const char* rate, const char* text, const char* tax,
                       const char* gross, const char* net, const char* negative) {
  tFiscTaxSumSlot slot{true, {}};
  slot.Sum.TaxIndex = index, slot.Sum.Rate = Bcd(rate), slot.Sum.Text = text;
  slot.Sum.TaxValue = Bcd(tax), slot.Sum.SalesGross = Bcd(gross);
  slot.Sum.SalesNet = Bcd(net), slot.Sum.SalesNegative = Bcd(negative);
  return slot;
}
tFiscHeaderRec Header(int32_t docNo, int hour, int minute) {
  tFiscHeaderRec h;
  h.DateTime = tKvDateTime::Encode(2024, 1, 2, hour, minute, 10);
  h.DocNo = docNo;
  h.EcrNo = Fix("101");
  return h;
}

// The expected text: UTF-8 to Windows-1252, "|" before a line end removed.
std::string Expected(std::string utf8) {
  for (size_t at; (at = utf8.find("|\n")) != std::string::npos;) utf8.erase(at, 1);
  return Utf8ToWin1252(utf8);
}

class JnlViewPickerTest : public ::testing::Test {
 protected:
  // One entry of the fiscal type code, in a journal of the given variant.
  void Entry(int32_t typeCode, int32_t journal,
             const std::function<void(tKvFiscalStreamPicker&)>& records) {
    tKvKPosEntryInfoRec info;
    info.Type = journal;
    picker_.EntryStart(info);
    picker_.SetEntryType(DecodeFiscalType(typeCode));
    records(picker_);
    picker_.EntryEnd();
  }

  tRecordingDest dest_;
  tFiscalStreamPickerJnlView picker_{&dest_};
};

TEST_F(JnlViewPickerTest, Receipt) {
  Entry(2, 1, [](tKvFiscalStreamPicker& p) {
    tFiscHeaderRec h = Header(1002, 7, 42);
    h.Operator = Num("1", "Anna");
    h.SeqNo = 7;
    h.BookMemNo = Fix("12");
    p.Header(h);
    tFiscPLULinkRec link;
    link.Plu = Num("9001", "Pfand"), link.Quantity = Bcd("2"), link.Amount = Bcd("0.5");
    link.Department = Num("7", "Leergut");
    p.PLULink(link);
    link.Clear();
    link.Plu.Number = Fix("9002"), link.Quantity = Bcd("1"), link.Amount = Bcd("0.15");
    tFiscModifierRec crate{Id(4, "Kiste"), Bcd("0.05")};
    link.Modifiers.Add(crate);
    p.PLULink(link);
    tFiscSaleItemRec item;
    item.Kind = 2, item.Plu = Num("3001", "Wasser"), item.Department = Num("3", "Kalt");
    item.Quantity = Bcd("2"), item.Amount = Bcd("3.6"), item.PriceOverwrite = true;
    item.Taxes[1] = {true, 1, Bcd("4.1")};
    tFiscModifierRec ice{Id(1, "Eis"), Bcd("0.2")};
    item.Modifiers.Add(ice);
    p.SaleItem(item);
    item.Clear();
    item.Plu = Num("4001", "Kaese"), item.Quantity = Bcd("1.5"), item.Text = "Stk";
    item.Amount = Bcd("1234.5"), item.Taxes[0] = {true, 0, Bcd("1234.5")};
    p.SaleItem(item);
    tFiscAdjustRec discount{3, Id(1, "Rabatt"), Bcd("-0.43"), {}, false};
    discount.Taxes[1] = {true, 1, Bcd("-0.43")};
    p.Adjust(discount);
    p.Adjust(tFiscAdjustRec{3, Id(0, "ohne Nummer"), Bcd("1"), {}, false});  // not shown
    tFiscClosingRec closing;
    closing.Totals = {Bcd("5"), Bcd("5.85")};
    closing.Tip = Cell("1", "0.5");
    closing.TaxSums[0] = TaxSum(0, "0", "", "0", "10", "10", "0");
    closing.TaxSums[1] = TaxSum(1, "19", "MwSt", "0.79", "4.95", "0", "-2.05");
    p.Closing(closing);
    p.Payment(tFiscPaymentRec{6, {1, "Bar"sv, {}}, Bcd("5.85"), {}, {"CHF"sv, 756, 0}});
    p.Payment(tFiscPaymentRec{15, {2, "EC-Karte"sv, {}}, Bcd("1"), {}, {}});
    tFiscSignatureRec signature;
    signature.Assign("ABCDEF");
    p.Signature(signature);
  });
  EXPECT_EQ(dest_.Text,
            Expected(R"(Bon (#1002)                                       02.01.2024  07:42:10
  Kassennummer: 101
  Bediener: Anna (#1)
  Beleg-Sequenznummer: 7
                                                       Tischnummer: 12

  2x Wasser (#3001)                                               3,60
    Warengruppe: Kalt (#3)
    Steuer 1:  4,10
    -> Preisüberschreibung
    -> Modifier: Eis (#1) 0,20
    2x Pfand (#9001)                                   0,50
      Warengruppe: Leergut (#7)
    1x * Bezeichnung nicht vorhanden * (#9002)         0,15
      -> Modifier: Kiste (#4) 0,05
  1,5 Stk x Kaese (#4001)                                     1.234,50
    ohne Steuer:  1.234,50
  Rabatt (#1)                                                    -0,43
    Steuer 1:  -0,43
                                                            ----------
          Brutto                                                  5,85
          Netto                                                   5,00
          Trinkgeld                                  1            0,50

          ohne Steuer (0%)                                        0,00
            Umsatz brutto: 10,00
          Steuer 1 (MwSt - 19%)                                   0,79
            Umsatz brutto: 4,95
                                       (Negativumsatz)           -2,05

          Bar (#1)                                                5,85
            Fremdwährung (ISO Code): CHF (756)
          EC-Karte (#2) (Auszahlung (Trinkgeld))                  1,00

  Signatur: ABCDEF
)"));
}

TEST_F(JnlViewPickerTest, RegistrationEndReport) {
  Entry(4, 1, [](tKvFiscalStreamPicker& p) {
    tFiscHeaderRec h = Header(1005, 18, 30);
    h.SeqNo = 1, h.FirstVoucherSeqNo = 1, h.LastVoucherSeqNo = 3;
    h.TaxpayerId = "DE123456789", h.CardNo = 2;
    p.Header(h);
    tFiscReportMediaRec media;
    media.Media = Id(1, "Bar");
    media.Drawer.Cell = Cell("1", "167.13"), media.Sales.Cell = Cell("2", "17.13");
    media.Change.Cell = Cell("0", "0", true);
    p.ReportMedia(media);
    p.ReportGroup(tFiscReportGroupRec{Id(1, "Backwaren"), Cell("3", "4.65")}, 0);
    p.ReportGroup(tFiscReportGroupRec{Id(2, "Kaffee"), Cell("2", "7.2")}, 1);
    tFiscReportCountersRec counters;
    counters.GrandTotal = {Bcd("1000"), Bcd("1200"), Bcd("-200")};
    counters.Slots[0] = {true, 2, Cell("3", "24.75")};
    counters.Slots[4] = {true, 8, Cell("9", "22.93")};
    counters.Slots[5] = {true, 9, Cell("3", "0")};
    p.ReportCounters(counters);
    tFiscReportTaxRec taxes;
    taxes.TaxSingle[1] = TaxSum(1, "19", "", "2.06", "12.92", "10.86", "0");
    taxes.TaxTotal[2] = TaxSum(2, "7", "", "0", "11.83", "0", "-1");
    p.ReportTax(taxes);
  });
  EXPECT_EQ(dest_.Text,
            Expected(R"(Registrierungs-Ende (#1005)                       02.01.2024  18:30:10
  Kassennummer: 101
  Sequenznummer: 1

  Grand Total:

    Summe Verkäufe                                            1.000,00
    Gesamtumsatz                                              1.200,00
    Summe Retouren                                             -200,00

  Finanzwege:

    Bar (#1)
    Soll                                             1          167,13
    Umsatz brutto                                    2           17,13
    Rückgeld  (Umsatzüberlauf)                                        |

  Steuern (Tagesabschluss:

    Umsatz Steuer 1 (19%)
    Umsatz brutto                                                12,92
    Umsatz netto                                                 10,86
    Steuersumme                                                   2,06

  Steuern (Gesamt):

    Umsatz Steuer 2 (7%)
    Umsatz brutto                                                11,83
    Negativumsatz                                                -1,00

  Hauptgruppen A:

    Backwaren (#1)                                   3            4,65

  Hauptgruppen B:

    Kaffee (#2)                                      2            7,20

  Artikelzahl                                        9           22,93
  Bruttoumsatz                                       3           24,75
  Schubladenöffnungen                                3                |

  Steuerpflichtigen-ID: DE123456789
(Kartennummer: 2)
  Erste Beleg-Sequenznummer: 1
  Letzte Beleg-Sequenznummer: 3
)"));
}

TEST_F(JnlViewPickerTest, EventsAndEntrySeparation) {
  Entry(2, 1, [](tKvFiscalStreamPicker&) {});  // no records: nothing at all
  EXPECT_EQ(dest_.Text, "");
  for (int i = 0; i < 2; ++i) {
    Entry(18, 1, [](tKvFiscalStreamPicker& p) {
      tFiscHeaderRec h = Header(0, 7, 55);
      h.Operator = Num("1", "Anna"), h.AuthOperator = Num("9", "Chef");
      p.Header(h);
      p.Event({Id(1, "Schublade 1"), Id(2, "Kontrolle")});
    });
  }
  const std::string event =
      R"(Schubladenöffnung                                 02.01.2024  07:55:10

  Schubladenöffnung
  Kassennummer: 101
  Bediener: Anna (#1)
  Bediener (Auth.): Chef (#9)
    Schublade: Schublade 1 (#1)
    Öffnungsgrund: Kontrolle (#2)
)";
  EXPECT_EQ(dest_.Text, Expected(event + "\n\n" + event));
}

TEST_F(JnlViewPickerTest, PortugueseEntry) {
  Entry(2, 6, [](tKvFiscalStreamPicker& p) {
    tFiscHeaderRec h = Header(7, 9, 0);
    h.Training = true, h.InvoiceNo = "FT 1/7";
    h.Void = {"FT 1/6"sv, Id(1, "Total"), "Erro"sv};
    h.Customer = {"PT123"sv, "Maria"sv, "Rua A 1"sv, "Lisboa"sv, "1000-001"sv, "PT"sv};
    p.Header(h);
    tFiscSignatureRec signature;
    signature.Assign("000102030405060708090A0B0C0D0E0F1011121314151617");
    p.Signature(signature);
  });
  EXPECT_EQ(dest_.Text,
            Expected(R"(Bon (#7)  (Training)                              02.01.2024  09:00:10
  Kassennummer: 101
  Rechnungsnummer: FT 1/7
  Originalrechnung: FT 1/6
    Stornotyp: Total (#1)
    Begründung: Erro
  Kundendaten:
    Steuernummer: PT123
    Name: Maria
    Adresse: Rua A 1; 1000-001 Lisboa
    Land: PT

  Signatur: AcDY-Processado por programa certificado n.°4172/AT
)"));
}

// The heading comes before the first entry and at every change of the
// journal variant. The file appears under its name only when the view is
// closed; a view released without Close() leaves nothing.
TEST(JnlViewFileTest, HeadingsAndPublishingOnClose) {
  testing_support::TempDir dir;
  dir.Write("JournalView.txt", "old");
  const std::string headings =
      "Fiscal journal type: Deutschland (1)\r\n\r\n\r\n"
      "\r\nFiscal journal type: Deutschland (5)\r\n\r\n\r\n";
  for (const std::string& path : {dir.Path(), dir.Path() + "/"}) {
    tFiscalStreamEvalWriteJnlView view(path, nullptr);
    for (int32_t type : {1, 1, 5}) {
      tKvKPosEntryInfoRec info;
      info.Type = type;
      view.EntryStart(info);
      view.EntryEnd();
    }
    EXPECT_EQ(view.file_name(), dir.Path("JournalView.txt"));
    if (path == dir.Path()) {
      EXPECT_EQ(dir.Read("JournalView.txt"), "old");
      view.Close();
    }
    EXPECT_EQ(dir.Read("JournalView.txt"), headings);
  }
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Path()), {}), 1);
}

}  // namespace
