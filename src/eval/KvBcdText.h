// Texts of journal numbers (tKvBcd) for the outputs that write many of
// them: the bytes tKvBcd's own texts give, written straight from the
// number's digits when the value needs no rounding (the common case), and
// by tKvBcd otherwise. Pure functions over the regional settings (read
// only); they never fail and may run on any thread.
#pragma once

#include <string>

#include "stream/KvBcd.h"

// tKvBcd::ToText(value, compact) appended to out.
void AppendBcdText(std::string& out, const tKvBcd& value, bool compact);
// tKvBcd::ToTextPlaces(value, places) appended to out.
// REQUIRES: places from 0 to 18.
void AppendBcdTextPlaces(std::string& out, const tKvBcd& value, int places);
