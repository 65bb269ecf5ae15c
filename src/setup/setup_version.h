// The version that this setup program installs, as the build gives it.
#pragma once

namespace quenwick {

inline constexpr const char* SetupVersion = QUENWICK_VERSION;

}  // namespace quenwick
