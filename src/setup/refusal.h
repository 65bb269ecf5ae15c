// A run that ends without doing its work: its exit code, and what the user is told, or nothing when
// the user has been told already.
#pragma once

#include <stdexcept>
#include <string>

namespace quenwick {

struct Refusal : std::runtime_error {
  Refusal(int exitCode, const std::string& message)
      : std::runtime_error(message), ExitCode(exitCode) {}
  int ExitCode;
};

}  // namespace quenwick
