// Column definitions that several tables of the export share: the register
// number, the links to parent rows and the document data of registrations
// and transactions. A table's column array names them in its order.
#pragma once

#include "idea/FiscalStreamPickerIDEA.h"

namespace idea_columns {

using C = tIdeaColumn;
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
inline constexpr C kDocType{"DOC_TYPE", false, C::kAlphaNumeric, 0, "Belegtyp"};
inline constexpr C kDocSource{"DOC_SOURCE", false, C::kAlphaNumeric, 0, "Beleg-Herkunft"};
inline constexpr C kClerkNo{"CLERK_NO", false, C::kNumeric, 0, "Bedienernummer"};
inline constexpr C kClerkName{"CLERK_NAME", false, C::kAlphaNumeric, 0, "Bedienername"};
inline constexpr C kCurrIsoCode{"CURR_ISO_CODE", false, C::kAlphaNumeric, 0, "Währung: ISO-Code"};
inline constexpr C kCurrIsoNo{"CURR_ISO_NO", false, C::kNumeric, 0, "Währung: ISO-Nummer"};
inline constexpr C kSalesExclVat{"SALES_EXCL_VAT", false, C::kFlag, 0, "Nettobuchungen"};

}  // namespace idea_columns
