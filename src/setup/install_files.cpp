// What the table of the install's files says of each file.
#include "setup/install_files.h"

#include <cctype>

#include "setup/folders.h"
#include "setup/setup_platform.h"

namespace quenwick {
namespace {

// A carried file's resource is named after it, in capitals, with "_" for "." (QUENWICK_EXE), as
// resource names are.
std::string ResourceName(std::string_view file) {
  std::string name(file);
  for (char& c : name)
    c = c == '.' ? '_' : static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return name;
}

const InstallFile* Row(std::string_view name) {
  for (const InstallFile& file : InstallFiles) {
    if (EqualNoCase(name, file.Name)) return &file;
  }
  return nullptr;
}

}  // namespace

bool IsWritten(const InstallFile& file) { return file.Source != FileSource::Record; }

std::string BytesOf(const InstallFile& file) {
  if (file.Source == FileSource::SetupProgram) return ReadWholeFile(OwnProgramPath());
  return CarriedResource(ResourceName(file.Name));
}

std::uint32_t InstallSizeKiB() {
  std::size_t bytes = 0;
  for (const InstallFile& file : InstallFiles) {
    if (IsWritten(file)) bytes += BytesOf(file).size();
  }
  return static_cast<std::uint32_t>((bytes + 1023) / 1024);
}

bool IsOwnFile(const std::string& folder, const std::string& name) {
  const std::string path = InFolder(folder, name);
  if (KindOf(path) != PathKind::File) return false;
  const InstallFile* file = Row(name);
  if (!file) return IsOwnLeftover(name);
  switch (file->Source) {
    // Another program's uninstall.exe is as likely as Quenwick's.
    case FileSource::CarriedProgram:
    case FileSource::SetupProgram:
      return ProductName(path) == "Quenwick";
    case FileSource::Resource:
      return ReadWholeFile(path) == BytesOf(*file);
    case FileSource::Record:
      break;
  }
  return true;
}

bool IsOwnLeftover(std::string_view name) {
  for (const InstallFile& file : InstallFiles) {
    if (!IsWritten(file)) continue;
    for (const std::string_view suffix : {NewSuffix, OldSuffix}) {
      if (EqualNoCase(name, std::string(file.Name) + std::string(suffix))) return true;
    }
  }
  return TemporaryRecordOf(name).has_value();
}

std::optional<std::uint32_t> TemporaryRecordOf(std::string_view name) {
  return ProcessIdIn(name, std::string(RecordFile) + ".", TemporaryRecordSuffix);
}

std::string TemporaryRecordName(std::uint32_t processId) {
  return std::string(RecordFile) + "." + std::to_string(processId) +
         std::string(TemporaryRecordSuffix);
}

}  // namespace quenwick
