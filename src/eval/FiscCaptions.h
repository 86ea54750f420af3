// The caption table of the fiscal journal: the printable name of every
// journal variant, entry kind, record kind and field, by numeric code.
// The table is built once, on first use (under the guard of a function-local
// static), and is read-only afterwards, so any thread may read it; its
// texts are Windows-1252 like every text of the program. Lookups never fail:
// an unknown code yields a question-mark form.
//
// Code ranges: 1 label of the journal variant; 101-176 header fields and
// their groups; 200 + kind transaction record kinds; 300 + id sale item
// fields; 500-572 tax and total lines; 700 + kind report kinds; 750-763
// closing lines; 800 + kind event kinds; 10000 + journal type the journal
// variants; 20000 + entry kind the entry kinds.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "stream/KvKPosFiscalStreamRec.h"

// Longest caption text; longer texts are cut when the table is built.
inline constexpr size_t kFiscCaptionMaxLength = 50;

// The caption in force (the German set; codes it does not list keep their
// English text). Unknown codes: 10010-19999 give "<? #" + (code - 10000) +
// ">", 20023-29999 give "<? #" + (code - 20000) + ">", every other one
// "? (" + code + ")".
std::string FiscCaption(int32_t code);
// The caption in force of a code the table lists, as a view into the table
// (valid for the whole run); empty for a code it does not list.
std::string_view FiscCaptionText(int32_t code);
// The same lookup in the English set, which the German set replaces at
// start-up; kept for a program variant that shows English captions.
std::string FiscCaptionEnglish(int32_t code);

// "<caption of 10000 + journalType> (<journalType>)", e.g. "Deutschland (1)";
// with label preceded by the caption of code 1 and ": ".
std::string FiscJournalTypeText(int32_t journalType, bool withLabel);

// The text of a decoded fiscal type: the entry kind's caption (20000 + Kind),
// or "? (" + Code + ")" when Kind is 0, prefixed by the origin's name
// (OriginText) and ": " for origins 1 and 2; e.g. "NEXO: Bon" for the type
// code 1002.
std::string FiscTypeText(const tKvKPosFiscalType& type);
