// CheckTables: reads every table of an export once, line by line, against
// its declaration, and checks the keys across tables. Content findings
// (C4xx) and key findings (C5xx) go into the findings; the lines read per
// table too. Tables that other tables reference are read first, so that
// every foreign key is resolved while its own table streams.
//
// Memory: one read buffer per table at a time, plus the key fingerprints
// (a few bytes per primary key); when the keys would pass keyMemoryLimit
// the key check of that table stops with a C505 finding instead.
//
// Failure: an I/O error while reading raises EKvIo (the check's exit 3);
// anything a file holds is a finding, never an exception. Called on one
// thread; with Threads 2 it starts a second one for the keys and joins it
// before it returns (the findings of both are then in findings, the
// contents' examples first).
#pragma once

#include <cstdint>

#include "check/ExportIndex.h"
#include "check/ExportSource.h"
#include "check/Findings.h"

namespace check {

struct tTableCheckOptions {
  uint64_t KeyMemoryLimit = uint64_t{1} << 30;  // bytes for all key fingerprints
  // 2: where the source allows it, the contents and the keys are checked on
  // two threads (each table is then read twice, the keys' reading on a
  // thread of the check's own); 1: one thread, each table read once.
  int Threads = 2;
};

void CheckTables(const tExportIndex& index, tExportSource& source,
                 const tTableCheckOptions& options, tFindings& findings);

}  // namespace check
