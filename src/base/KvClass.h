// tKvClass: the common base of the program's own classes.
// It gives every object a virtual destructor and the class name that
// exception messages start with ("[" + class name + "] ").
// Thread safety: an object is used by one thread at a time unless its
// header says otherwise. One thread drives the evaluator chain and all it
// owns: the main thread with the ASCII input, whose workers only prepare
// blocks and hand each over whole (tKvReadAhead); the event pipe's thread
// with the native pass, whose main thread only parses the lines
// (tKvKPosEventPipe). The element allocator recycles memory across threads
// (KvKPosComStreamData.h). See README "Development" for the whole model.
#pragma once

#include <string>
#include <typeinfo>

class tKvClass {
 public:
  tKvClass() = default;
  tKvClass(const tKvClass&) = default;
  tKvClass& operator=(const tKvClass&) = default;
  // Inline: every element of the journal passes through it.
  virtual ~tKvClass() = default;

  // The dynamic class name of this object, e.g. "tKvKPosFiscalStreamParser".
  // Derived from the C++ type, so every subclass reports its own name
  // without further code. Called in constructors, it names the class
  // under construction.
  std::string ClassName() const;
};

// The unqualified, demangled name of a type_info (namespaces stripped).
std::string KvTypeName(const std::type_info& type);
