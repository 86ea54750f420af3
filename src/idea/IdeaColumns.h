// Column definitions that several tables of the export share: the register
// number, the links to parent rows, the document data of registrations
// and transactions, and the value maps declared with columns. A table's
// column array names them in its order.
#pragma once

#include "idea/FiscalStreamPickerIDEA.h"

namespace idea_columns {

using C = tIdeaColumn;

// The value map of every flag column.
inline constexpr tIdeaMapValue kFlagMap[] = {{"1", 0, "Ja"}, {"0", 0, "Nein"}, {"", 0, "Nein"}};
// Entry types (DOC_TYPE): the captions of the entry kinds.
inline constexpr tIdeaMapValue kDocTypeMap[] = {
    {"3", 20003}, {"4", 20004},  {"1", 20001},  {"2", 20002},  {"5", 20005},  {"6", 20006},
    {"7", 20007}, {"11", 20011}, {"12", 20012}, {"13", 20013}, {"19", 20019}, {"20", 20020}};
// Report kinds (REP_TYPE).
inline constexpr tIdeaMapValue kRepTypeMap[] = {{"3", 703},  {"6", 706},  {"7", 707},
                                                {"26", 726}, {"27", 727}, {"28", 728},
                                                {"29", 729}, {"30", 730}, {"31", 731}};
// Record kinds of detail and payment lines (REC_TYPE); kind 16 has no caption of its own.
inline constexpr tIdeaMapValue kRecTypeMap[] = {{"2", 202},
                                                {"3", 203},
                                                {"4", 204},
                                                {"8", 208},
                                                {"9", 209},
                                                {"11", 211},
                                                {"12", 212},
                                                {"13", 213},
                                                {"14", 214},
                                                {"15", 215},
                                                {"16", 0, "Rabatt (unbekannt)"},
                                                {"17", 217},
                                                {"18", 218},
                                                {"19", 219},
                                                {"20", 220},
                                                {"21", 221}};

// A flag column: "1" yes, "0" or empty no.
inline constexpr C Flag(std::string_view name, std::string_view description) {
  return {name, false, C::kFlag, 0, description, kFlagMap};
}

inline constexpr C kEcrNo{"ECR_NO", false, C::kNumeric, 0, "Kassennummer (Global)"};
inline constexpr C kBlkKeyLink{"BLK_KEY_LINK", false, C::kNumeric, 0, "Verweis: Block-Schlüssel"};
inline constexpr C kRegKeyLink{"REG_KEY_LINK", false, C::kNumeric, 0, "Verweis: Reg.-Schlüssel"};
inline constexpr C kDocKeyLink{"DOC_KEY_LINK", true, C::kNumeric, 0,
                               "Verweis: Transakt.-Schlüssel"};
inline constexpr C kRegStartDate{"REG_START_DATE", false, C::kDate, 0, "Datum Registrierungsstart"};
inline constexpr C kRecNo{"REC_NO", true, C::kNumeric, 0, "Datensatznummer"};
inline constexpr C kKey(std::string_view name) { return {name, true, C::kNumeric, 0, "Schlüssel"}; }
inline constexpr C kDocDate{"DOC_DATE", false, C::kDate, 0, "Belegdatum"};
inline constexpr C kDocTime{"DOC_TIME", false, C::kAlphaNumeric, 0, "Beleguhrzeit"};
inline constexpr C kDocNo{"DOC_NO", false, C::kNumeric, 0, "Belegnummer"};
inline constexpr C kDocType{"DOC_TYPE", false, C::kAlphaNumeric, 0, "Belegtyp", kDocTypeMap};
inline constexpr C kDocSource{"DOC_SOURCE", false, C::kAlphaNumeric, 0, "Beleg-Herkunft"};
inline constexpr C kClerkNo{"CLERK_NO", false, C::kNumeric, 0, "Bedienernummer"};
inline constexpr C kClerkName{"CLERK_NAME", false, C::kAlphaNumeric, 0, "Bedienername"};
inline constexpr C kCurrIsoCode{"CURR_ISO_CODE", false, C::kAlphaNumeric, 0, "Währung: ISO-Code"};
inline constexpr C kCurrIsoNo{"CURR_ISO_NO", false, C::kNumeric, 0, "Währung: ISO-Nummer"};
inline constexpr C kSalesExclVat = Flag("SALES_EXCL_VAT", "Nettobuchungen");

}  // namespace idea_columns
