// The files of an install, in one table: what the install writes, swaps in, undoes, checks whole,
// registers the size of and removes, and the leftovers that only it leaves, all follow it. Adding a
// file to the install is a row here, and its resource where its bytes are one.
#pragma once

#include <algorithm>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "setup/setup_names.h"

namespace quenwick {

// Where a file's bytes come from.
enum class FileSource {
  // The quenwick.exe that the setup program carries: the program that the file rule detects and
  // the Startup shortcut starts, whose taking its place is the install's commit.
  CarriedProgram,
  SetupProgram,  // the setup program's own bytes, as the uninstaller
  Resource,      // the setup program's resource of the file's name
  // The program's record, which only the program writes: an install brings it along from a folder
  // that it leaves, or writes the quiet one, and never replaces one that is there.
  Record,
};

struct InstallFile {
  std::string_view Name;
  FileSource Source;
};

inline constexpr InstallFile InstallFiles[] = {
    {ProgramFile, FileSource::CarriedProgram},
    {UninstallerFile, FileSource::SetupProgram},
    {RecordFile, FileSource::Record},
};

// The longest name that an install gives a file: a written file's beside the one it replaces, or
// a record's being written, "data.dat.<process id>.tmp".
constexpr std::size_t LongestInstallName() {
  std::size_t longest = 0;
  for (const InstallFile& file : InstallFiles) {
    const std::size_t leftover = file.Source == FileSource::Record
                                     ? file.Name.size() + std::string_view(".4294967295.tmp").size()
                                     : file.Name.size() + NewSuffix.size();
    longest = std::max(longest, leftover);
  }
  return longest;
}

// The files that the install writes and puts in place: all but the record.
bool IsWritten(const InstallFile& file);
// What the install writes for a file that it writes.
std::string BytesOf(const InstallFile& file);
// The size of what an install writes, in KiB, as Apps & features shows it.
std::uint32_t InstallSizeKiB();
// Whether the file name in folder is Quenwick's: a program whose version information names
// Quenwick, a carried file of the same bytes, the record, or a leftover of an install's.
bool IsOwnFile(const std::string& folder, const std::string& name);
// Whether only an install of Quenwick's leaves a file of that name: a written file not yet in place
// (.new) or set aside (.old), or a record being written ("data.dat.<process id>.tmp").
bool IsOwnLeftover(std::string_view name);
// The id of the process that writes a record of that temporary name, or nothing.
std::optional<std::uint32_t> TemporaryRecordOf(std::string_view name);
std::string TemporaryRecordName(std::uint32_t processId);

}  // namespace quenwick
