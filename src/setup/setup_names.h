// The names that Quenwick's setup program writes: its files' (whose table is InstallFiles), the
// suffixes of the leftovers that only an install leaves, the registry keys, the lock, the
// shortcut and the uninstaller's copy.
#pragma once

#include <string_view>

namespace quenwick {

inline constexpr std::string_view ProgramFile = "quenwick.exe";
inline constexpr std::string_view UninstallerFile = "uninstall.exe";
inline constexpr std::string_view RecordFile = "data.dat";
// What an install writes before its commit (.new) and what it sets aside (.old).
inline constexpr std::string_view NewSuffix = ".new";
inline constexpr std::string_view OldSuffix = ".old";
// The record that the program or the setup program is writing: "data.dat.<process id>.tmp".
inline constexpr std::string_view TemporaryRecordSuffix = ".tmp";

inline constexpr std::string_view DefaultFolder = "Programs\\Quenwick";  // in %LOCALAPPDATA%
inline constexpr std::string_view ProgramsFolder = "Programs";
inline constexpr std::string_view LockFile = "Quenwick.Setup.lock";  // in %LOCALAPPDATA%
inline constexpr std::string_view ShortcutFile = "Quenwick.lnk";     // in the Startup folder
// The uninstaller's copy of itself in %TEMP%: "Quenwick-uninstall-<the uninstaller's id>.exe".
inline constexpr std::string_view CopyPrefix = "Quenwick-uninstall-";
inline constexpr std::string_view CopySuffix = ".exe";

inline constexpr std::string_view UninstallKey =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Quenwick";
// Where the Startup apps pages of Settings and Task Manager record that the user turned a Startup
// folder's shortcut off, by its file name. An install never writes it, so that the choice holds
// over every rerun, repair and upgrade.
inline constexpr std::string_view StartupApprovedKey =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\StartupApproved\\StartupFolder";

}  // namespace quenwick
