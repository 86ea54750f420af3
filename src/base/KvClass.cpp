#include "base/KvClass.h"

#include <cxxabi.h>

#include <cstdlib>
#include <memory>
#include <typeinfo>


std::string tKvClass::ClassName() const { return KvTypeName(typeid(*this)); }

std::string KvTypeName(const std::type_info& type) {
  int status = 0;
  std::unique_ptr<char, void (*)(void*)> demangled(
      abi::__cxa_demangle(type.name(), nullptr, nullptr, &status), std::free);
  std::string name = (status == 0 && demangled) ? demangled.get() : type.name();
  // Keep the bare class name: drop namespaces and template arguments.
  if (auto lt = name.find('<'); lt != std::string::npos) name.erase(lt);
  if (auto colon = name.rfind("::"); colon != std::string::npos) name.erase(0, colon + 2);
  return name;
}
