#include "check/FindingCodes.h"

#include <algorithm>
#include <array>

namespace check {

namespace {

constexpr auto kCodes = std::to_array<tCodeInfo>({
    {tCode::kNoIndex, "C101", tSeverity::kError, "No index.xml at the export's root"},
    {tCode::kIndexNotAtRoot, "C102", tSeverity::kError, "index.xml only below a sub-folder"},
    {tCode::kFileMissing, "C103", tSeverity::kError, "A declared file is absent"},
    {tCode::kUrlAbsolute, "C104", tSeverity::kError,
     "A URL with a scheme, a leading slash or a drive"},
    {tCode::kUrlOutside, "C105", tSeverity::kError, "A URL that leads outside the export"},
    {tCode::kUrlCaseOnly, "C106", tSeverity::kError,
     "A URL that matches a file only when case is ignored"},
    {tCode::kNameTwice, "C107", tSeverity::kError,
     "Two entries or URLs name one file (also by case only)"},
    {tCode::kFileUndeclared, "C108", tSeverity::kError, "A data file the index does not declare"},
    {tCode::kIndexNotWellFormed, "C201", tSeverity::kError, "index.xml is not well-formed XML"},
    {tCode::kIndexInvalid, "C202", tSeverity::kError, "index.xml is not valid against the DTD"},
    {tCode::kDtdMissing, "C203", tSeverity::kError, "The DTD the index names is not beside it"},
    {tCode::kDtdAltered, "C204", tSeverity::kWarning,
     "The DTD beside the index is no known standard DTD"},
    {tCode::kDtdOutside, "C205", tSeverity::kError,
     "The document type names a DTD outside the export"},
    {tCode::kIndexEntities, "C206", tSeverity::kError, "The index declares entities of its own"},
    {tCode::kNoDoctype, "C207", tSeverity::kWarning, "The index names no DTD"},
    {tCode::kDtdUnreadable, "C208", tSeverity::kError, "The DTD to validate against is no DTD"},
    {tCode::kFkColumnUndeclared, "C301", tSeverity::kError,
     "A ForeignKey names a column the table lacks"},
    {tCode::kFkNoTable, "C302", tSeverity::kError, "References names no table of the data set"},
    {tCode::kFkAmbiguous, "C303", tSeverity::kError, "References names several tables"},
    {tCode::kFkTargetNoKey, "C304", tSeverity::kError,
     "The referenced table declares no primary key"},
    {tCode::kFkArity, "C305", tSeverity::kError, "Column count differs from the referenced key's"},
    {tCode::kFkType, "C306", tSeverity::kError, "A column's type differs from its key column's"},
    {tCode::kAliasFrom, "C307", tSeverity::kError, "Alias/From is no column of its ForeignKey"},
    {tCode::kAliasTo, "C308", tSeverity::kError,
     "Alias/To is no key column of the referenced table"},
    {tCode::kAliasTwice, "C309", tSeverity::kError, "Two aliases map onto one key column"},
    {tCode::kAliasPartial, "C310", tSeverity::kWarning, "A composite key is only partly aliased"},
    {tCode::kTimeMask, "C311", tSeverity::kWarning, "A time map's From and To masks differ"},
    {tCode::kMapNotAlpha, "C312", tSeverity::kError, "Map on a column that is not AlphaNumeric"},
    {tCode::kMediaEmpty, "C313", tSeverity::kWarning,
     "A Media without tables and without AcceptNoTables"},
    {tCode::kMediaAcceptsEmpty, "C314", tSeverity::kInfo,
     "A Media without tables, by AcceptNoTables"},
    {tCode::kFixedRangeBad, "C315", tSeverity::kError, "A FixedRange that is no span"},
    {tCode::kFixedOverlap, "C316", tSeverity::kWarning, "Two fixed-length columns overlap"},
    {tCode::kFixedGap, "C317", tSeverity::kInfo, "Positions no fixed-length column claims"},
    {tCode::kFixedBeyond, "C318", tSeverity::kError, "A column beyond the declared record length"},
    {tCode::kScalarBad, "C319", tSeverity::kError,
     "A count (Accuracy, MaxLength, ...) that is no usable integer"},
    {tCode::kSymbolsEqual, "C320", tSeverity::kError, "DecimalSymbol equals DigitGroupingSymbol"},
    {tCode::kDelimitersCollide, "C321", tSeverity::kError,
     "Two delimiters of a table are the same"},
    {tCode::kDateMaskBad, "C322", tSeverity::kError,
     "A date Format without exactly one day, month and year"},
    {tCode::kRangeBelowOne, "C323", tSeverity::kError, "Range/From below 1"},
    {tCode::kTableNameTwice, "C324", tSeverity::kWarning, "Two tables share a Name"},
    {tCode::kTableUrlTwice, "C325", tSeverity::kWarning, "Two tables share a URL"},
    {tCode::kColumnNameTwice, "C326", tSeverity::kError, "Two columns of a table share a Name"},
    {tCode::kNameCharacter, "C327", tSeverity::kWarning, "A name holds \" & < or >"},
    {tCode::kDescriptionLong, "C328", tSeverity::kInfo, "A Description longer than 255 characters"},
    {tCode::kCommand, "C329", tSeverity::kWarning,
     "A Command is declared (never run by the check)"},
    {tCode::kExtension, "C330", tSeverity::kInfo, "An Extension is declared"},
    {tCode::kExtensionMissing, "C331", tSeverity::kError, "An Extension's URL names no file"},
    {tCode::kNotNumeric, "C401", tSeverity::kError,
     "A Numeric value that is no number under the declared symbols"},
    {tCode::kDateFormat, "C402", tSeverity::kError, "A Date value that does not match its Format"},
    {tCode::kDateNotReal, "C403", tSeverity::kError,
     "A Date value that is no calendar date (31.02.)"},
    {tCode::kDecimals, "C404", tSeverity::kError, "More decimal places than Accuracy"},
    {tCode::kGrouping, "C405", tSeverity::kError,
     "The grouping symbol not between groups of three digits"},
    {tCode::kTooLong, "C406", tSeverity::kError, "An AlphaNumeric value longer than MaxLength"},
    {tCode::kFieldCount, "C407", tSeverity::kError,
     "A record with another number of fields than declared"},
    {tCode::kCodePage, "C408", tSeverity::kError, "Bytes the declared code page does not define"},
    {tCode::kQuote, "C409", tSeverity::kError,
     "A text encapsulation that is not closed or not balanced"},
    {tCode::kFixedLength, "C410", tSeverity::kError, "A fixed-length record of the wrong length"},
    {tCode::kUnreadable, "C411", tSeverity::kError,
     "A declaration that gives no way to read the table"},
    {tCode::kHeaderOrder, "C412", tSeverity::kError,
     "A header line in another order than the declaration"},
    {tCode::kHeaderNoRange, "C413", tSeverity::kError, "A header line that no Range excludes"},
    {tCode::kOutsideMap, "C414", tSeverity::kInfo, "A value outside its column's Map"},
    {tCode::kRecordDelimiter, "C415", tSeverity::kError,
     "A record not ended by the declared delimiter"},
    {tCode::kSkipBeyondEnd, "C416", tSeverity::kError,
     "SkipNumBytes or Range beyond the file's end"},
    {tCode::kKeyDuplicate, "C501", tSeverity::kError, "A primary key value occurs more than once"},
    {tCode::kKeyEmpty, "C502", tSeverity::kError, "A primary key value is empty or partly empty"},
    {tCode::kForeignDangling, "C503", tSeverity::kError,
     "A foreign key value matches no row of the referenced table"},
    {tCode::kForeignUnchecked, "C504", tSeverity::kWarning,
     "A reference could not be checked (its table unreadable)"},
    {tCode::kKeyLimit, "C505", tSeverity::kWarning, "A key check stopped at the memory limit"},
});

constexpr bool InCodeOrder() {
  for (size_t i = 1; i < kCodes.size(); ++i) {
    if (kCodes[i - 1].Code >= kCodes[i].Code) return false;
  }
  return true;
}
static_assert(InCodeOrder(), "the code table is kept in code order");

}  // namespace

std::span<const tCodeInfo> AllCodes() { return kCodes; }

const tCodeInfo& InfoOf(tCode code) {
  const auto it = std::lower_bound(kCodes.begin(), kCodes.end(), code,
                                   [](const tCodeInfo& info, tCode c) { return info.Code < c; });
  return *it;  // every enumerator has its row (the table is generated from the enum)
}

}  // namespace check
