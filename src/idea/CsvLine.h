// tCsvLine: the bytes of the table line being built (a byte line, whose
// appends are inline: the field formatting appends a few bytes at a time,
// millions of times per journal).
#pragma once

#include "base/KvByteLine.h"

using tCsvLine = tKvByteLine;
