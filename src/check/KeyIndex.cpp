#include "check/KeyIndex.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <unordered_map>
#include <utility>

#include "check/CodePage.h"
#include "check/TableFinding.h"

namespace check {

namespace {

constexpr size_t kChunkKeys = size_t{1} << 16;  // fingerprints per chunk while a table is read
constexpr size_t kNone = static_cast<size_t>(-1);

// A 64-bit hash in the manner of xxHash64's rounds and avalanche: fast on
// short keys and well mixed, since a foreign key is found by its fingerprint alone.
constexpr uint64_t kPrime1 = 0x9E3779B185EBCA87ULL;
constexpr uint64_t kPrime2 = 0xC2B2AE3D27D4EB4FULL;
constexpr uint64_t kPrime3 = 0x165667B19E3779F9ULL;

uint64_t Round(uint64_t hash, uint64_t word) {
  hash ^= std::rotl(word * kPrime2, 31) * kPrime1;
  return std::rotl(hash, 27) * kPrime1 + kPrime3;
}

uint64_t HashValue(uint64_t hash, std::string_view value) {
  hash = Round(hash, value.size());
  size_t i = 0;
  for (; i + 8 <= value.size(); i += 8) {
    uint64_t word;
    std::memcpy(&word, value.data() + i, 8);
    hash = Round(hash, word);
  }
  if (i < value.size()) {  // bytewise: a memcpy of variable length is a call
    uint64_t word = 0;
    for (size_t shift = 0; i < value.size(); ++i, shift += 8) {
      word |= static_cast<uint64_t>(static_cast<unsigned char>(value[i])) << shift;
    }
    hash = Round(hash, word);
  }
  return hash;
}

uint64_t Avalanche(uint64_t hash) {
  hash ^= hash >> 33;
  hash *= kPrime2;
  hash ^= hash >> 29;
  hash *= kPrime3;
  return hash ^ (hash >> 32);
}

}  // namespace

struct tKeyIndex::tTableKeys {
  enum class tState { kUnread, kReading, kReady, kStopped, kMissing };

  std::vector<size_t> KeyColumns;
  tState State = tState::kUnread;
  size_t Pending = 0;  // references to this table not yet checked
  // While the table is read.
  std::vector<std::vector<uint64_t>> Chunks;
  uint64_t Count = 0;
  // After it: the distinct fingerprints, sorted, and an index of their top bits.
  std::vector<uint64_t> Sorted;
  std::vector<uint32_t> Buckets;
  int Shift = 63;
  // The confirming pass: fingerprints seen more than once, and the key texts seen for them.
  std::vector<uint64_t> Candidates;
  std::unordered_map<uint64_t, std::vector<std::pair<std::string, uint64_t>>> Seen;

  void Index() {
    const int bits = std::clamp(static_cast<int>(std::bit_width(Sorted.size() / 4)), 1, 30);
    Shift = 64 - bits;
    Buckets.assign((size_t{1} << bits) + 1, 0);
    for (const uint64_t fp : Sorted) ++Buckets[(fp >> Shift) + 1];
    for (size_t i = 1; i < Buckets.size(); ++i) Buckets[i] += Buckets[i - 1];
  }

  bool Contains(uint64_t fp) const {
    if (Sorted.empty()) return false;
    const size_t bucket = fp >> Shift;
    const auto first = Sorted.begin() + Buckets[bucket];
    const auto last = Sorted.begin() + Buckets[bucket + 1];
    return std::binary_search(first, last, fp);
  }

  uint64_t HeldBytes() const { return Sorted.size() * sizeof(uint64_t); }

  void Release() {
    std::vector<uint64_t>().swap(Sorted);
    std::vector<uint32_t>().swap(Buckets);
    std::vector<std::vector<uint64_t>>().swap(Chunks);
  }
};

struct tKeyIndex::tReference {
  size_t From = 0;
  size_t Target = 0;
  std::vector<size_t> Columns;  // of the referencing table, in the order of the referenced key
  uint32_t FirstField = 0;      // 1-based field of the foreign key's first column
  bool Deferred = false;        // checked in a pass of its own at the end
  bool Done = false;
  bool HasLastHit = false;
  std::string LastHit;  // a single-column key found last
};

tKeyIndex::tKeyIndex(const tExportIndex& index, uint64_t memoryLimit, tFindings& findings)
    : index_(index), memoryLimit_(memoryLimit), findings_(findings), tables_(index.Tables.size()) {
  const size_t count = index.Tables.size();
  for (size_t t = 0; t < count; ++t) {
    const auto& columns = index.Tables[t].Columns;
    for (size_t c = 0; c < columns.size(); ++c) {
      if (columns[c].PrimaryKey) tables_[t].KeyColumns.push_back(c);
    }
  }
  // References the index resolved onto a whole primary key; the others were reported with it.
  for (size_t t = 0; t < count; ++t) {
    const tTableDecl& table = index.Tables[t];
    for (const tForeignKeyDecl& fk : table.ForeignKeys) {
      if (!fk.Target || *fk.Target >= count) continue;
      const std::vector<size_t>& key = tables_[*fk.Target].KeyColumns;
      if (key.empty() || fk.Columns.size() != key.size() || fk.TargetColumns.size() != key.size())
        continue;
      tReference ref;
      ref.From = t;
      ref.Target = *fk.Target;
      ref.Columns.assign(key.size(), kNone);
      bool whole = true;
      for (size_t i = 0; i < fk.Columns.size() && whole; ++i) {
        const size_t k = static_cast<size_t>(
            std::find(key.begin(), key.end(), fk.TargetColumns[i]) - key.begin());
        const auto column =
            std::find_if(table.Columns.begin(), table.Columns.end(),
                         [&](const tColumnDecl& c) { return c.Name == fk.Columns[i]; });
        whole = k < key.size() && column != table.Columns.end() && ref.Columns[k] == kNone;
        if (whole) ref.Columns[k] = static_cast<size_t>(column - table.Columns.begin());
        if (whole && i == 0) ref.FirstField = static_cast<uint32_t>(ref.Columns[k] + 1);
      }
      if (whole) refs_.push_back(std::move(ref));
    }
  }
  // Referenced tables first; in a cycle the first unread table in declaration order.
  std::vector<bool> read(count, false);
  std::vector<size_t> position(count, 0);
  while (order_.size() < count) {
    size_t next = kNone;
    for (size_t t = 0; t < count && next == kNone; ++t) {
      if (read[t]) continue;
      const bool ready = std::none_of(refs_.begin(), refs_.end(), [&](const tReference& ref) {
        return ref.From == t && (ref.Target == t || !read[ref.Target]);
      });
      if (ready) next = t;
    }
    if (next == kNone)
      next = static_cast<size_t>(std::find(read.begin(), read.end(), false) - read.begin());
    read[next] = true;
    position[next] = order_.size();
    order_.push_back(next);
  }
  for (tReference& ref : refs_) {
    ref.Deferred = position[ref.Target] >= position[ref.From];
    ++tables_[ref.Target].Pending;
  }
}

tKeyIndex::~tKeyIndex() = default;

std::vector<size_t> tKeyIndex::Deferred() const {
  std::vector<size_t> tables;
  for (const size_t t : order_) {
    const bool waiting = std::any_of(refs_.begin(), refs_.end(), [&](const tReference& ref) {
      return ref.From == t && ref.Deferred && !ref.Done;
    });
    if (waiting) tables.push_back(t);
  }
  return tables;
}

void tKeyIndex::BeginTable(size_t table) {
  current_ = table;
  pass_ = tPass::kFirst;
  tTableKeys& keys = tables_[table];
  keys.State = keys.KeyColumns.empty() ? tTableKeys::tState::kReady : tTableKeys::tState::kReading;
  BeginReferences(false);
}

void tKeyIndex::BeginConfirm(size_t table) {
  current_ = table;
  pass_ = tPass::kConfirm;
}

void tKeyIndex::BeginDeferred(size_t table) {
  current_ = table;
  pass_ = tPass::kDeferred;
  BeginReferences(true);
}

void tKeyIndex::Add(uint64_t line, std::span<const std::string_view> fields) {
  if (fields.size() != index_.Tables[current_].Columns.size()) return;
  if (pass_ == tPass::kConfirm) {
    ConfirmKey(line, fields);
    return;
  }
  if (pass_ == tPass::kFirst && tables_[current_].State == tTableKeys::tState::kReading)
    AddKey(line, fields);
  for (tReference* ref : checking_) CheckReference(*ref, line, fields);
}

bool tKeyIndex::EndTable() {
  EndReferences(false);
  tTableKeys& keys = tables_[current_];
  if (keys.State != tTableKeys::tState::kReading) {
    Settle(current_);
    return false;
  }
  // The chunks go by the top bits of their fingerprints into one exact vector
  // and are freed as they go; then each bucket of a few hundred is sorted in
  // cache. Peak 16 bytes a key for the moment; measured at half of std::sort's
  // time on the keys of a 200 MB journal's export.
  const int bits = std::clamp(static_cast<int>(std::bit_width(keys.Count >> 8)), 1, 12);
  const int shift = 64 - bits;
  std::vector<size_t> start((size_t{1} << bits) + 1, 0);
  for (const std::vector<uint64_t>& chunk : keys.Chunks) {
    for (const uint64_t fp : chunk) ++start[(fp >> shift) + 1];
  }
  for (size_t b = 1; b < start.size(); ++b) start[b] += start[b - 1];
  std::vector<size_t> next(start.begin(), start.end() - 1);
  keys.Sorted.resize(keys.Count);
  for (std::vector<uint64_t>& chunk : keys.Chunks) {
    for (const uint64_t fp : chunk) keys.Sorted[next[fp >> shift]++] = fp;
    std::vector<uint64_t>().swap(chunk);
  }
  keys.Chunks.clear();
  for (size_t b = 0; b + 1 < start.size(); ++b) {
    std::sort(keys.Sorted.begin() + start[b], keys.Sorted.begin() + start[b + 1]);
  }
  for (size_t i = 1; i < keys.Sorted.size(); ++i) {
    if (keys.Sorted[i] == keys.Sorted[i - 1] &&
        (keys.Candidates.empty() || keys.Candidates.back() != keys.Sorted[i])) {
      keys.Candidates.push_back(keys.Sorted[i]);
    }
  }
  keys.Sorted.erase(std::unique(keys.Sorted.begin(), keys.Sorted.end()), keys.Sorted.end());
  keys.State = tTableKeys::tState::kReady;
  heldBytes_ += keys.HeldBytes();
  if (keys.Pending > 0) keys.Index();
  if (!keys.Candidates.empty()) return true;
  Settle(current_);
  return false;
}

void tKeyIndex::EndPass() {
  if (pass_ == tPass::kConfirm) {
    tTableKeys& keys = tables_[current_];
    keys.Seen.clear();
    std::vector<uint64_t>().swap(keys.Candidates);
    Settle(current_);
  } else if (pass_ == tPass::kDeferred) {
    EndReferences(true);
  }
}

void tKeyIndex::SkipTable(size_t table) {
  tTableKeys& keys = tables_[table];
  keys.State = tTableKeys::tState::kMissing;
  keys.Release();
  for (tReference& ref : refs_) {
    if (ref.From != table || ref.Done) continue;
    ref.Done = true;
    --tables_[ref.Target].Pending;
    Settle(ref.Target);
  }
}

uint64_t tKeyIndex::Fingerprint(std::span<const std::string_view> fields,
                                const std::vector<size_t>& columns) {
  const tEncoding encoding = index_.Tables[current_].Encoding;
  uint64_t hash = kPrime3;
  for (const size_t c : columns) {
    std::string_view value = fields[c];
    if (encoding != tEncoding::kUtf8 && !IsAscii(value)) {
      scratch_.clear();
      AppendUtf8(encoding, value, scratch_);
      value = scratch_;
    }
    hash = HashValue(hash, value);
  }
  return Avalanche(hash);
}

void tKeyIndex::AddKey(uint64_t line, std::span<const std::string_view> fields) {
  tTableKeys& keys = tables_[current_];
  for (const size_t c : keys.KeyColumns) {
    if (fields[c].empty()) {
      AddTableFinding(
          findings_, index_.Tables[current_], tCode::kKeyEmpty, line, static_cast<uint32_t>(c + 1),
          Excerpt(fields, keys.KeyColumns),
          "a primary key without a value in " + index_.Tables[current_].Columns[c].Name);
      return;
    }
  }
  if (heldBytes_ + (keys.Count + 1) * sizeof(uint64_t) > memoryLimit_) {
    StopKeys(line);
    return;
  }
  if (keys.Chunks.empty() || keys.Chunks.back().size() == kChunkKeys) {
    keys.Chunks.emplace_back().reserve(kChunkKeys);
  }
  keys.Chunks.back().push_back(Fingerprint(fields, keys.KeyColumns));
  ++keys.Count;
}

void tKeyIndex::StopKeys(uint64_t line) {
  tTableKeys& keys = tables_[current_];
  AddTableFinding(findings_, index_.Tables[current_], tCode::kKeyLimit, line, 0, {},
                  "the key check stopped at this line after " + std::to_string(keys.Count) +
                      " keys: their fingerprints would pass the limit of " +
                      std::to_string(memoryLimit_) + " bytes");
  keys.State = tTableKeys::tState::kStopped;
  keys.Release();
}

void tKeyIndex::ConfirmKey(uint64_t line, std::span<const std::string_view> fields) {
  tTableKeys& keys = tables_[current_];
  for (const size_t c : keys.KeyColumns) {
    if (fields[c].empty()) return;
  }
  const uint64_t fp = Fingerprint(fields, keys.KeyColumns);
  if (!std::binary_search(keys.Candidates.begin(), keys.Candidates.end(), fp)) return;
  // The exact key: its values' UTF-8 forms, each after its length.
  std::string text;
  for (const size_t c : keys.KeyColumns) {
    const std::string value = [&] {
      std::string utf8;
      AppendUtf8(index_.Tables[current_].Encoding, fields[c], utf8);
      return utf8;
    }();
    text += std::to_string(value.size()) + ":" + value;
  }
  auto& seen = keys.Seen[fp];
  for (const auto& [firstText, firstLine] : seen) {
    if (firstText == text) {
      AddTableFinding(findings_, index_.Tables[current_], tCode::kKeyDuplicate, line,
                      static_cast<uint32_t>(keys.KeyColumns.front() + 1),
                      Excerpt(fields, keys.KeyColumns),
                      "the primary key of line " + std::to_string(firstLine) + " again");
      return;
    }
  }
  seen.emplace_back(std::move(text), line);
}

void tKeyIndex::CheckReference(tReference& ref, uint64_t line,
                               std::span<const std::string_view> fields) {
  if (std::all_of(ref.Columns.begin(), ref.Columns.end(),
                  [&](size_t c) { return fields[c].empty(); }))
    return;
  // The records of one head follow each other: one lookup for all of them.
  const bool single = ref.Columns.size() == 1;
  if (single && ref.HasLastHit && fields[ref.Columns[0]] == ref.LastHit) return;
  if (tables_[ref.Target].Contains(Fingerprint(fields, ref.Columns))) {
    ref.HasLastHit = single;
    if (single) ref.LastHit.assign(fields[ref.Columns[0]]);
    return;
  }
  AddTableFinding(findings_, index_.Tables[current_], tCode::kForeignDangling, line, ref.FirstField,
                  Excerpt(fields, ref.Columns),
                  "no row of " + index_.Tables[ref.Target].Name + " has this key");
}

void tKeyIndex::BeginReferences(bool deferred) {
  checking_.clear();
  for (tReference& ref : refs_) {
    if (ref.From != current_ || ref.Deferred != deferred || ref.Done) continue;
    const tTableKeys::tState state = tables_[ref.Target].State;
    if (state == tTableKeys::tState::kReady) checking_.push_back(&ref);
    if (state == tTableKeys::tState::kStopped || state == tTableKeys::tState::kMissing) {
      AddTableFinding(
          findings_, index_.Tables[current_], tCode::kForeignUnchecked, 0, ref.FirstField, {},
          "the references to " + index_.Tables[ref.Target].Name + " are not checked: " +
              (state == tTableKeys::tState::kStopped ? "its key check stopped at the memory limit"
                                                     : "it could not be read"));
    }
  }
}

void tKeyIndex::EndReferences(bool deferred) {
  checking_.clear();
  for (tReference& ref : refs_) {
    if (ref.From != current_ || ref.Deferred != deferred || ref.Done) continue;
    ref.Done = true;
    --tables_[ref.Target].Pending;
    Settle(ref.Target);
  }
}

// Frees a finished table's fingerprints once no reference needs them.
void tKeyIndex::Settle(size_t table) {
  tTableKeys& keys = tables_[table];
  if (keys.Pending > 0 || keys.State != tTableKeys::tState::kReady || !keys.Candidates.empty())
    return;
  heldBytes_ -= keys.HeldBytes();
  keys.Release();
}

std::string tKeyIndex::Excerpt(std::span<const std::string_view> fields,
                               const std::vector<size_t>& columns) const {
  std::string text;
  for (size_t i = 0; i < columns.size(); ++i) {
    if (i > 0) text += ';';
    text.append(fields[columns[i]]);
  }
  return text;
}

}  // namespace check
