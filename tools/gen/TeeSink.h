// TeeSink: feeds one journal to two sinks, so that both input forms carry
// exactly the same events; the size that steers a random journal is the
// first sink's. Borrows both sinks.
#pragma once

#include "gen/GenJournal.h"

namespace jgen {

class TeeSink final : public JournalSink {
 public:
  TeeSink(JournalSink* a, JournalSink* b) : a_(*a), b_(*b) {}
  void BeginBlock(const BlockHeader& h) override { a_.BeginBlock(h), b_.BeginBlock(h); }
  void BeginEntry(const EntryInfo& e) override { a_.BeginEntry(e), b_.BeginEntry(e); }
  void Record(int32_t t, int l) override { a_.Record(t, l), b_.Record(t, l); }
  void Field(int32_t id, int l, const Value& v) override { a_.Field(id, l, v), b_.Field(id, l, v); }
  void EndEntry() override { a_.EndEntry(), b_.EndEntry(); }
  void EndBlock() override { a_.EndBlock(), b_.EndBlock(); }
  void Comment(std::string_view t) override { a_.Comment(t), b_.Comment(t); }
  uint64_t OutputSize() const override { return a_.OutputSize(); }

 private:
  JournalSink& a_;
  JournalSink& b_;
};

}  // namespace jgen
