// The setup program's exit codes, as docs/deploying.md lists them. Where Windows or Windows
// Installer has a code that says the same, it is that one, which deployment tools already know.
#pragma once

namespace quenwick {

inline constexpr int ExitDone = 0;
inline constexpr int ExitCancelled = 1;
inline constexpr int ExitNotForThisAccount = 10;  // ERROR_BAD_ENVIRONMENT
inline constexpr int ExitFolderNotWritable = 82;  // ERROR_CANNOT_MAKE
inline constexpr int ExitUnknownArgument = 87;    // ERROR_INVALID_PARAMETER
inline constexpr int ExitFolderNotEmpty = 145;    // ERROR_DIR_NOT_EMPTY
inline constexpr int ExitFolderTooLong = 206;     // ERROR_FILENAME_EXCED_RANGE
inline constexpr int ExitFailed = 1603;           // ERROR_INSTALL_FAILURE
inline constexpr int ExitRunning = 1618;          // ERROR_INSTALL_ALREADY_RUNNING
inline constexpr int ExitNewerInstalled = 1638;   // ERROR_PRODUCT_VERSION

}  // namespace quenwick
