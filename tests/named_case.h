// A case of a parameterised test, named once for both the test's name and its failure messages.
// Derive a case from NamedCase and instantiate with ::testing::PrintToStringParamName().
#pragma once

#include <ostream>
#include <string>

namespace quenwick {

struct NamedCase {
  // Implicit, so that a case's initializer simply starts with its name.
  NamedCase(const char* caseName) : name(caseName) {}  // NOLINT(google-explicit-constructor)
  std::string name;
};

inline std::ostream& operator<<(std::ostream& out, const NamedCase& testCase) {
  return out << testCase.name;
}

}  // namespace quenwick
