// A step of the run that could not do its job: what the user is told that Quenwick could not do,
// with the system's error that stopped it nested inside, for the fatal error report.
#pragma once

#include <stdexcept>
#include <string_view>

namespace quenwick {

// Thrown with std::throw_with_nested from the handler that caught the system's error, so that the
// error goes with it. what() is the sentence for the user.
struct StepFailure : std::runtime_error {
  using std::runtime_error::runtime_error;
};

// The sentence for a failure that no step has put into words.
inline constexpr std::string_view UnexpectedFailure = "Wystąpił nieoczekiwany błąd.";

}  // namespace quenwick
