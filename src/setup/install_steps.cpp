// The install's steps and their undo, in order.
#include "setup/install_steps.h"

#include <exception>
#include <iterator>

#include "check/baseline_records.h"
#include "platform/platform.h"
#include "setup/exit_codes.h"
#include "setup/folders.h"
#include "setup/install_state.h"
#include "setup/messages.h"
#include "setup/refusal.h"
#include "setup/setup_log.h"
#include "setup/setup_names.h"
#include "setup/setup_platform.h"
#include "setup/setup_version.h"

namespace quenwick {
namespace {

const std::string Key(UninstallKey);

std::string InstallPath(std::string_view name, std::string_view suffix = "") {
  return InFolder(Setup.Folder, std::string(name) + std::string(suffix));
}

std::string TemporaryRecord() {
  std::string suffix(1, '.');
  suffix += std::to_string(ProcessId());
  suffix += TemporaryRecordSuffix;
  return InstallPath(RecordFile, suffix);
}

// Whether the program would take the file at path for its record.
bool IsValidRecord(const std::string& path) {
  const std::optional<std::string> head = ReadFileHead(path, BaselineReadLimit);
  return head && ParseBaselineRecords(*head);
}

// Puts a record in place whole: written under the program's own temporary name, flushed, renamed.
void PutRecord(const std::string& bytes) {
  Setup.RecordWritten = true;
  WriteNewFile(TemporaryRecord(), bytes);
  MoveReplacing(TemporaryRecord(), InstallPath(RecordFile));
}

void WriteQuietRecordIfAsked() {
  if (!Setup.QuietFirstLogon || KindOf(InstallPath(RecordFile)) != PathKind::None) return;
  SizeColumn unknown;
  unknown.Entries.fill(SizeUnknown);
  PutRecord(FormatBaselineRecords(unknown));
}

// The key as this run found it: values added since deleted, the others written back.
void RestoreKey() {
  if (!Setup.FoundKey) return DeleteRegistryKey(Key);
  for (const auto& [name, value] : ReadRegistryKey(Key).value_or(RegistryValues{})) {
    if (!Setup.FoundKey->contains(name)) DeleteRegistryValue(Key, name);
  }
  for (const auto& [name, value] : *Setup.FoundKey) WriteRegistryValue(Key, name, value);
}

void MarkUnfinished() {
  std::string from;
  for (const std::string& folder : Setup.OtherFolders) from += (from.empty() ? "" : "|") + folder;
  WriteRegistryValue(Key, "MovingTo", Setup.Folder);
  WriteRegistryValue(Key, "MovingFrom", from);
  FlushRegistry();
}

// Makes the folder and any folder above it that is missing, and tries writing in it.
void MakeInstallFolder() {
  try {
    std::vector<std::string> missing;
    for (std::string folder = Setup.Folder; !folder.empty() && KindOf(folder) == PathKind::None;
         folder = ParentFolder(folder)) {
      missing.push_back(folder);
    }
    for (auto folder = missing.rbegin(); folder != missing.rend(); ++folder) {
      MakeFolder(*folder);
      Setup.MadeFolders.insert(Setup.MadeFolders.begin(), *folder);
    }
    WriteNewFile(InstallPath(ProgramFile, NewSuffix), "");
  } catch (const SystemCallError& failure) {
    Log(std::string("The folder cannot be made or written to: ") + failure.what());
    throw Refusal(ExitFolderNotWritable, Say(Message::FolderNotWritable, Setup.Folder));
  }
  StopPoint("probing");
}

void RemoveMadeFolders() {
  DeleteFileIfThere(InstallPath(ProgramFile, NewSuffix));
  for (const std::string& folder : Setup.MadeFolders) RemoveFolderIfEmpty(folder);
}

// This version's programs beside the ones they replace, which an earlier cut-off may have set
// aside: those are put back first, so that the folder is as that install found it.
void WritePrograms() {
  for (const std::string_view name : {ProgramFile, UninstallerFile}) {
    if (KindOf(InstallPath(name)) == PathKind::None &&
        KindOf(InstallPath(name, OldSuffix)) == PathKind::File) {
      MoveReplacing(InstallPath(name, OldSuffix), InstallPath(name));
    }
    DeleteFileIfThere(InstallPath(name, OldSuffix));
  }
  Setup.HadProgram = KindOf(InstallPath(ProgramFile)) == PathKind::File;
  Setup.HadUninstaller = KindOf(InstallPath(UninstallerFile)) == PathKind::File;
  WriteNewFile(InstallPath(ProgramFile, NewSuffix), CarriedProgram());
  WriteNewFile(InstallPath(UninstallerFile, NewSuffix), ReadWholeFile(OwnProgramPath()));
}

void DeleteNewPrograms() {
  for (const std::string_view name : {ProgramFile, UninstallerFile}) {
    DeleteFileIfThere(InstallPath(name, NewSuffix));
  }
}

// Moves name aside as name.old, if it is there, and name.new into its place; and back.
void SwapIn(std::string_view name) {
  if (KindOf(InstallPath(name)) == PathKind::File) {
    MoveReplacing(InstallPath(name), InstallPath(name, OldSuffix));
  }
  MoveReplacing(InstallPath(name, NewSuffix), InstallPath(name));
}

void SwapBack(std::string_view name, bool had) {
  DeleteFileIfThere(InstallPath(name, NewSuffix));
  if (KindOf(InstallPath(name, OldSuffix)) == PathKind::File) {
    MoveReplacing(InstallPath(name, OldSuffix), InstallPath(name));
  } else if (!had) {
    DeleteFileIfThere(InstallPath(name));
  }
}

void SwapUninstaller() { SwapIn(UninstallerFile); }
void SwapBackUninstaller() { SwapBack(UninstallerFile, Setup.HadUninstaller); }
void PutProgramInPlace() { SwapIn(ProgramFile); }
void SwapBackProgram() { SwapBack(ProgramFile, Setup.HadProgram); }

// An install that leaves a folder brings its record along, so that the next check compares with it
// rather than starting afresh: the first valid record of the folders left, unless the folder has a
// valid one already; one there that is not valid is kept until the install is whole.
void BringRecordAlong() {
  const std::string record = InstallPath(RecordFile);
  for (const std::string& left : Setup.OtherFolders) {
    const std::string brought = InFolder(left, RecordFile);
    if (IsValidRecord(record) || !IsValidRecord(brought)) continue;
    if (KindOf(record) == PathKind::File) Setup.RecordReplaced = ReadWholeFile(record);
    PutRecord(ReadWholeFile(brought));
  }
  WriteQuietRecordIfAsked();
}

void TakeBackRecord() {
  if (!Setup.RecordWritten) return;
  DeleteFileIfThere(TemporaryRecord());
  DeleteFileIfThere(InstallPath(RecordFile));
  if (Setup.RecordReplaced) WriteNewFile(InstallPath(RecordFile), *Setup.RecordReplaced);
}

// The entry names the folder but no version, which detection does not take for a whole install.
void RegisterInstall() {
  const std::string uninstaller = InstallPath(UninstallerFile);
  const std::size_t bytes = CarriedProgram().size() + ReadWholeFile(uninstaller).size();
  DeleteRegistryValue(Key, "DisplayVersion");
  for (const auto& [name, value] :
       RegistryValues{{"DisplayName", std::string("Quenwick")},
                      {"Publisher", std::string(QUENWICK_PUBLISHER)},
                      {"DisplayIcon", InstallPath(ProgramFile)},
                      {"InstallLocation", Setup.Folder},
                      {"UninstallString", "\"" + uninstaller + "\""},
                      {"QuietUninstallString", "\"" + uninstaller + "\" /S"},
                      {"EstimatedSize", static_cast<std::uint32_t>((bytes + 1023) / 1024)},
                      {"NoModify", std::uint32_t{1}},
                      {"NoRepair", std::uint32_t{1}}}) {
    WriteRegistryValue(Key, name, value);
  }
}

// The shortcut that starts the program at every logon; the one it replaces is kept until the
// install is whole.
void MakeStartupShortcut() {
  if (KindOf(StartupShortcut()) == PathKind::File) {
    Setup.ShortcutReplaced = ReadWholeFile(StartupShortcut());
  }
  Setup.ShortcutBegun = true;
  MakeShortcut(StartupShortcut(), InstallPath(ProgramFile));
}

void PutBackShortcut() {
  if (!Setup.ShortcutBegun) return;
  if (Setup.ShortcutReplaced) return WriteNewFile(StartupShortcut(), *Setup.ShortcutReplaced);
  // Whatever stands there that is not a file, such as a folder, the step did not make.
  if (KindOf(StartupShortcut()) == PathKind::File) DeleteFileIfThere(StartupShortcut());
}

// No program of a folder that the install leaves is found or started once this one is in place.
void SetAsideOtherPrograms() {
  for (const std::string& left : Setup.OtherFolders) {
    if (KindOf(InFolder(left, ProgramFile)) != PathKind::File) continue;
    MoveReplacing(InFolder(left, ProgramFile),
                  InFolder(left, std::string(ProgramFile) + std::string(OldSuffix)));
    Setup.SetAside.push_back(left);
  }
}

void PutBackOtherPrograms() {
  for (const std::string& left : Setup.SetAside) {
    MoveReplacing(InFolder(left, std::string(ProgramFile) + std::string(OldSuffix)),
                  InFolder(left, ProgramFile));
  }
}

void RegisterVersion() {
  WriteRegistryValue(Key, "DisplayVersion", std::string(SetupVersion));
  if (!IsWholeInstall()) throw std::runtime_error("the install is not whole");
}

struct InstallStep {
  const char* StopPoint;  // where a test may cut the install off once the step is done, if anywhere
  void (*Do)();
  void (*Undo)();
};

constexpr InstallStep InstallSteps[] = {
    {"marked", MarkUnfinished, RestoreKey},
    {nullptr, MakeInstallFolder, RemoveMadeFolders},
    {"written", WritePrograms, DeleteNewPrograms},
    {"uninstaller-swapped", SwapUninstaller, SwapBackUninstaller},
    {"record", BringRecordAlong, TakeBackRecord},
    {"entry", RegisterInstall, nullptr},
    {"shortcut", MakeStartupShortcut, PutBackShortcut},
    {"others-set-aside", SetAsideOtherPrograms, PutBackOtherPrograms},
    {"program-swapped", PutProgramInPlace, SwapBackProgram},
    {"version-registered", RegisterVersion, nullptr},
};

// Once the install is whole: the programs that it replaced, the files of the folders that it
// leaves, and last the mark.
void LetGo() {
  for (const std::string_view name : {ProgramFile, UninstallerFile}) {
    DeleteFileIfThere(InstallPath(name, OldSuffix));
  }
  DeleteStaleRecords(Setup.Folder);
  StopPoint("old-programs-removed");
  for (const std::string& left : Setup.OtherFolders) RemoveInstallFiles(left);
  StopPoint("folders-left");
  DeleteRegistryValue(Key, "MovingTo");
  DeleteRegistryValue(Key, "MovingFrom");
}

}  // namespace

void RunInstall() {
  std::size_t begun = 0;
  const auto name = [](std::size_t step) {
    return std::string(InstallSteps[step].StopPoint ? InstallSteps[step].StopPoint : "folder");
  };
  try {
    for (; begun < std::size(InstallSteps); ++begun) {
      Log("Step " + name(begun) + ": begun");
      InstallSteps[begun].Do();
      Log("Step " + name(begun) + ": done");
      if (InstallSteps[begun].StopPoint) StopPoint(InstallSteps[begun].StopPoint);
    }
  } catch (const std::exception& failure) {
    Log("Step " + name(begun) + ": failed: " + failure.what());
    // The last step first. An undo that fails ends the undo there: the mark, undone last, stays,
    // and the next run finishes the install.
    try {
      for (std::size_t step = begun + 1; step-- > 0;) {
        if (InstallSteps[step].Undo) InstallSteps[step].Undo();
        Log("Step " + name(step) + ": undone");
      }
    } catch (const std::exception& undo) {
      Log(std::string("Undo failed, the mark kept for the next run: ") + undo.what());
    }
    if (const auto* refusal = dynamic_cast<const Refusal*>(&failure)) throw *refusal;
    throw Refusal(ExitFailed, Say(Message::InstallFailed, failure.what()));
  }
  try {
    LetGo();
    Log("Let go of what the install replaced");
  } catch (const std::exception& failure) {
    // The install is whole, as its exit code says; the mark stays, so that the next run lets go of
    // the rest.
    Log(std::string("Letting go failed, the mark kept for the next run: ") + failure.what());
  }
}

bool LeaveWholeInstall() {
  const RegistryValues found = Setup.FoundKey.value_or(RegistryValues{});
  if (found.contains("MovingTo") || found.contains("MovingFrom") || !IsWholeInstall()) return false;
  try {
    WriteQuietRecordIfAsked();
  } catch (const SystemCallError& failure) {
    DeleteFileIfThere(TemporaryRecord());
    throw Refusal(ExitFailed, Say(Message::InstallFailed, failure.what()));
  }
  return true;
}

}  // namespace quenwick
