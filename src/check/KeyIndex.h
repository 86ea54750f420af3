// tKeyIndex: the key checks across the tables of one export. The table check
// streams every table to it, record by record, in the order it gives:
//
//   Order()          referenced tables before the tables that reference
//                    them; where references form a cycle, the first unread
//                    table in declaration order goes next and its references
//                    to tables not yet read are checked in a pass of their
//                    own at the end (Deferred()).
//   primary keys     a 64-bit fingerprint per key (the UTF-8 form of its
//                    values, length-prefixed) in a vector; after the table the
//                    vector is sorted, and equal neighbours are confirmed
//                    exactly by a second pass over the table that collects the
//                    key texts of just those fingerprints: C501 with both
//                    lines. An empty or partly empty key: C502.
//   foreign keys     looked up among the sorted fingerprints of the
//                    referenced table, kept while references to it remain
//                    unchecked: C503 when absent (an all-empty foreign key
//                    refers to nothing and passes); a referenced table that
//                    could not be read or whose key check stopped: one C504
//                    per foreign key.
//   memory           before the fingerprints held would pass memoryLimit, the
//                    key check of the table being read stops with one C505.
//
// The passes over one table: BeginTable, Add per data record, EndTable; if
// EndTable returns true, BeginConfirm, Add per data record, EndPass. A table
// that cannot be read: SkipTable instead. At the end, for each of
// Deferred(): BeginDeferred, Add per data record, EndPass.
//
// Borrows index and findings, which must outlive it. Raises nothing of its
// own (std::bad_alloc aside). One thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "check/ExportIndex.h"
#include "check/Findings.h"

namespace check {

class tKeyIndex {
 public:
  tKeyIndex(const tExportIndex& index, uint64_t memoryLimit, tFindings& findings);
  tKeyIndex(const tKeyIndex&) = delete;
  tKeyIndex& operator=(const tKeyIndex&) = delete;
  ~tKeyIndex();

  const std::vector<size_t>& Order() const { return order_; }
  // Tables whose deferred references are still to be checked.
  std::vector<size_t> Deferred() const;

  void BeginTable(size_t table);
  void BeginConfirm(size_t table);
  void BeginDeferred(size_t table);
  // One data record of the table being read; fields as the scanner yields them.
  void Add(uint64_t line, std::span<const std::string_view> fields);
  // Ends the first pass; true when a confirming pass must follow.
  bool EndTable();
  void EndPass();
  void SkipTable(size_t table);

 private:
  struct tTableKeys;
  struct tReference;
  enum class tPass { kFirst, kConfirm, kDeferred };

  uint64_t Fingerprint(std::span<const std::string_view> fields,
                       const std::vector<size_t>& columns);
  void AddKey(uint64_t line, std::span<const std::string_view> fields);
  void ConfirmKey(uint64_t line, std::span<const std::string_view> fields);
  void CheckReference(tReference& ref, uint64_t line, std::span<const std::string_view> fields);
  void BeginReferences(bool deferred);
  void EndReferences(bool deferred);
  void StopKeys(uint64_t line);
  void Settle(size_t table);
  std::string Excerpt(std::span<const std::string_view> fields,
                      const std::vector<size_t>& columns) const;

  const tExportIndex& index_;
  uint64_t memoryLimit_;
  tFindings& findings_;
  std::vector<tTableKeys> tables_;
  std::vector<tReference> refs_;
  std::vector<tReference*> checking_;  // the references checked in this pass
  std::vector<size_t> order_;
  uint64_t heldBytes_ = 0;  // fingerprints of finished tables kept for references
  size_t current_ = 0;
  tPass pass_ = tPass::kFirst;
  std::string scratch_;
};

}  // namespace check
