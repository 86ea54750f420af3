#include "eval/FiscCaptions.h"

#include <algorithm>
#include <string_view>
#include <utility>
#include <vector>

#include "base/KvCodepage.h"

namespace {

// One row of the table, written in UTF-8. german == nullptr: the German set
// does not list the code and the English text stays in force.
struct CaptionRow {
  int32_t Code;
  const char* English;
  const char* German;
};

// The text of code 572 holds both languages, separated by "//*".
constexpr const char* kDesignationMissing =
    "* Bezeichnung nicht vorhanden * //* #FiscJnl# * Designation missing *";

// Code 726 has no text of its own: it always shows what code 209 shows.
constexpr int32_t kAliasCode = 726;
constexpr int32_t kAliasTarget = 209;

// Sorted by code.
constexpr CaptionRow kRows[] = {
    {1, "Fiscal journal type", "Fiscal journal type"},
    {101, "Date and time", "Datum und Zeit"},
    {102, "Operator", "Bediener"},
    {103, "Auth.", "Auth."},
    {104, "Training", "Training"},
    {105, "ECR number", "Kassennummer"},
    {106, "BookMem type", "Buchungsspeicher"},
    {108, "Net booking", "Nettobuchung"},
    {109, "Voucher sequence no.", "Beleg-Sequenznummer"},
    {110, "Sequence number", "Sequenznummer"},
    {111, "Currency (ISO code)", "Währung (ISO Code)"},
    {112, "Last voucher sequence number", "Letzte Beleg-Sequenznummer"},
    {113, "First voucher sequence number", "Erste Beleg-Sequenznummer"},
    {115, "Not printed", "Nicht gedruckt"},
    {117, "Invoice number", "Rechnungsnummer"},
    {118, "Voucher link", "Beleg-Link"},
    {119, "Subsequent voucher", "Nachträglicher Beleg"},
    {120, "Foreign currency (ISO code)", "Fremdwährung (ISO Code)"},
    {121, "Customer data", "Kundendaten"},
    {122, "Fiscal report", "Fiskalbericht"},
    {127, "Receipt", "Bon"},
    {128, "Check number", "Tischnummer"},
    {141, "Taxpayer ID", "Steuerpflichtigen-ID"},
    {142, "Card number", "Kartennummer"},
    {143, "Manufacturing ID", "Herstellungs-ID"},
    {145, "Key pair serial no.", "Seriennummer des Schlüsselpaars"},
    {151, "Issue date", "Ausstellungsdatum"},
    {152, "Original invoice", "Originalrechnung"},
    {153, "Void type", "Stornotyp"},
    {154, "Reason", "Begründung"},
    {161, "Tax number", "Steuernummer"},
    {162, "Name", "Name"},
    {163, "Address", "Adresse"},
    {166, "Country", "Land"},
    {171, "Control data", "Kontrolldaten"},
    {172, "Control module ID", "Kontrollmodul-ID"},
    {173, "Receipt counter", "Belegzähler"},
    {174, "VAT signing card ID", "Signaturkarten-ID"},
    {175, "ECR production no.", "ECR-Produktionsnummer"},
    {176, "PLU hash", "Artikel-Hash"},
    {202, "PLU sale", "Artikelverkauf"},
    {203, "Discount", "Nachlass"},
    {204, "Extra charge", "Aufladung"},
    {205, "Closing", "Abschluss"},
    {206, "Payment", " Zahlung"},
    {207, "Signature", "Signatur"},
    {208, "Tip", "Trinkgeld"},
    {209, "Expenses/Agency sales", "Auslagen/Agenturumsatz"},
    {211, "Deposit (done)", "Anzahlung (getätigt)"},
    {212, "Deposit (payment)", "Anzahlung (Zahlung)"},
    {213, "Payment (in/out)", "Ein-/Auszahlung"},
    {214, "Payment (expenses)", "Auszahlung (Auslagen)"},
    {215, "Payment (tip)", "Auszahlung (Trinkgeld)"},
    {217, "Payment (deposit)", "Auszahlung (Anzahlung)"},
    {218, "Media (decl)", "Abrechnung (Ist)"},
    {219, "Media (diff.)", "Abrechnung (Differenz)"},
    {220, "Media (drawer)", "Abrechnung (Soll)"},
    {221, "Petty Cash", "Wechselgeld-Bestand"},
    {304, "Tax", "Steuer"},
    {307, "Price overwrite", "Preisüberschreibung"},
    {308, "Modifier", "Modifier"},
    {309, "Department", "Warengruppe"},
    {501, "Gross", "Brutto"},
    {502, "Net", "Netto"},
    {513, "Turnover overflow", "Umsatzüberlauf"},
    {521, "Sales", "Umsatz"},
    {522, "Sales incl. tax", "Umsatz brutto"},
    {523, "Taxes", "Steuersumme"},
    {524, "Negative sales", "Negativumsatz"},
    {528, "Sales net", "Umsatz netto"},
    {571, "No tax", "ohne Steuer"},
    {572, kDesignationMissing, kDesignationMissing},
    {702, "Gross sales", "Bruttoumsatz"},
    {703, "Taxes (Total)", "Steuern (Gesamt)"},
    {706, "Delivery note", "Lieferschein"},
    {707, "Train receipts (Total)", "Trainingsbelege (Gesamt)"},
    {708, "Item count", "Artikelzahl"},
    {709, "Open drawer count", "Schubladenöffnungen"},
    {710, "Invoice copies", "Rechnungskopien"},
    {711, "Discounts", "Rabatte"},
    {712, "Extra charges", "Aufschläge"},
    {713, "Returns", "Retouren"},
    {714, "Open sales", "Offene Verkäufe"},
    {715, "Media", "Finanzwege"},
    {716, "Main groups", "Hauptgruppen"},
    {718, "GT", "Grand Total"},
    {719, "Pro forma GCs", "Proformarechnungen"},
    {720, "Petty Cash", "Wechselgeld-Bestand"},
    {721, "Invoices", "Rechnungen"},
    {722, "Total sales", "Summe Verkäufe"},
    {723, "Deposits", "Anzahlungen"},
    {724, "Payd by deposit", "Gedeckt durch Anzahlung"},
    {725, "Open expenses", "Offene Auslagen"},
    // 726: see kAliasCode.
    {727, "Taxes (Single)", "Steuern (Tagesabschluss"},
    {728, "Train receipts (Single)", "Trainingsbelege (Tagesabschluss"},
    {729, "Expenses (Single)", "Auslagen (Tagesabschluss"},
    {730, "Tips etc.", "Trinkgelder etc."},
    {731, "Tip (Single)", "Trinkgeld (Tagesabschluss"},
    {752, "Sales incl. tax", "Umsatz brutto"},
    {753, "Change", "Rückgeld"},
    {754, "Received on account", "Einzahlungen"},
    {755, "Paid out", "Auszahlungen"},
    {756, "Drawer", "Soll"},
    {761, "Total sales", "Summe Verkäufe"},
    {762, "Total turnover", "Gesamtumsatz"},
    {763, "Total return", "Summe Retouren"},
    {802, "Table", "Tabelle"},
    {803, "Drawer", "Schublade"},
    {804, "Reason", "Öffnungsgrund"},
    {10000, "All purpose", "Universell"},
    {10001, "Germany", "Deutschland"},
    {10002, "Austria", "Österreich"},
    {10003, "Sweden", "Schweden"},
    {10004, "Ireland", "Irland"},
    {10005, "Germany", "Deutschland"},
    {10006, "Portugal", "Portugal"},
    {10007, "Netherlands", "Niederlande"},
    {10008, "Belgium", "Belgien"},
    {10009, "France", "Frankreich"},
    {20001, "Invoice", "Rechnung"},
    {20002, "Receipt", "Bon"},
    {20003, "Start registration", "Registrierungs-Start"},
    {20004, "End registration", "Registrierungs-Ende"},
    {20005, "Manual invoice", "Manuelle Rechnung"},
    {20006, "GC receipt", "Tischbon"},
    {20007, "GC management receipt", "Tischverwaltungsbon"},
    {20008, "Subtotal GC", "Zwischenrechnung"},
    {20009, "Duplicate GC", "Rechnungskopie"},
    {20010, "Pro forma GC", "Proformarechnung"},
    {20011, "Paid in/out receipt", "Ein-/Auszahlungsbeleg"},
    {20012, "Media move", "Finanzwegumbuchung"},
    {20013, "Deposit", "Anzahlung"},
    {20014, "Master data changed", "Stammdatenänderung"},
    {20015, "Credit note", "Gutschrift"},
    {20016, "Subsequent invoice", "Nachträglich erfasste Rechnung"},
    {20017, "Subsequent credit note", "Nachträglich erfasste Gutschrift"},
    {20018, "Open drawer", "Schubladenöffnung"},
    {20019, "Media count", "Bedienerabrechnung"},
    {20020, "Petty cash count", "Wechselgeld-Erfassung"},
    {20021, "Fiscal report (zero setting)", "Nullstellung Fiskalbericht"},
    {20022, "Fiscal report", "Fiskalbericht"},
};

// A caption may carry two languages, "first //* second"; the program shows
// the first part without its trailing blanks.
std::string_view FirstLanguagePart(std::string_view text) {
  const size_t pos = text.find("//*");
  if (pos == std::string_view::npos) return text;
  text = text.substr(0, pos);
  while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
  return text;
}

using CaptionSet = std::vector<std::pair<int32_t, std::string>>;

std::string Prepare(const char* utf8) {
  std::string text = Utf8ToWin1252(FirstLanguagePart(utf8));
  if (text.size() > kFiscCaptionMaxLength) text.resize(kFiscCaptionMaxLength);
  return text;
}

// The English set, then the German texts laid over it, as at start-up.
CaptionSet BuildSet(bool german) {
  CaptionSet set;
  set.reserve(std::size(kRows));
  for (const CaptionRow& row : kRows) {
    const char* text = german && row.German != nullptr ? row.German : row.English;
    set.emplace_back(row.Code, Prepare(text));
  }
  return set;
}

const CaptionSet& GermanSet() {
  static const CaptionSet set = BuildSet(true);
  return set;
}

const CaptionSet& EnglishSet() {
  static const CaptionSet set = BuildSet(false);
  return set;
}

// Codes are computed from journal numbers (10000 + journal type, ...), so
// they are looked up as 64-bit values and cannot overflow.
std::string UnknownCaption(int64_t code) {
  if (code >= 10010 && code <= 19999) return "<? #" + std::to_string(code - 10000) + ">";
  if (code >= 20023 && code <= 29999) return "<? #" + std::to_string(code - 20000) + ">";
  return "? (" + std::to_string(code) + ")";
}

// The listed text of code, or null.
const std::string* Find(const CaptionSet& set, int64_t code) {
  if (code == kAliasCode) code = kAliasTarget;
  const auto it = std::lower_bound(set.begin(), set.end(), code,
                                   [](const auto& entry, int64_t c) { return entry.first < c; });
  return it != set.end() && it->first == code ? &it->second : nullptr;
}

std::string Lookup(const CaptionSet& set, int64_t code) {
  const std::string* text = Find(set, code);
  return text != nullptr ? *text : UnknownCaption(code);
}

}  // namespace

std::string FiscCaption(int32_t code) { return Lookup(GermanSet(), code); }

std::string_view FiscCaptionText(int32_t code) {
  const std::string* text = Find(GermanSet(), code);
  return text != nullptr ? std::string_view(*text) : std::string_view();
}

std::string FiscCaptionEnglish(int32_t code) { return Lookup(EnglishSet(), code); }

std::string FiscJournalTypeText(int32_t journalType, bool withLabel) {
  std::string text = Lookup(GermanSet(), int64_t{10000} + journalType);
  text += " (" + std::to_string(journalType) + ")";
  if (withLabel) text = FiscCaption(1) + ": " + text;
  return text;
}

std::string FiscTypeText(const tKvKPosFiscalType& type) {
  std::string text = type.Kind != 0 ? Lookup(GermanSet(), int64_t{20000} + type.Kind)
                                    : "? (" + std::to_string(type.Code) + ")";
  // The terminal's own entries (origin 0) go without prefix.
  if (type.Origin == 0) return text;
  const std::string_view origin = OriginText(type);
  return origin.empty() ? text : std::string(origin) + ": " + text;
}
