// The install's steps and their undo, in order, and the steps that let go once it is whole.
#include "setup/install_steps.h"

#include <algorithm>
#include <exception>
#include <iterator>
#include <optional>
#include <string_view>

#include "check/baseline_records.h"
#include "platform/platform.h"
#include "setup/exit_codes.h"
#include "setup/folders.h"
#include "setup/install_files.h"
#include "setup/messages.h"
#include "setup/refusal.h"
#include "setup/removal.h"
#include "setup/setup_log.h"
#include "setup/setup_names.h"
#include "setup/setup_platform.h"
#include "setup/setup_version.h"

namespace quenwick {
namespace {

const std::string Key(UninstallKey);

// What the steps did, for their undo, which only they read and write.
struct UndoRecord {
  std::vector<std::string> MadeFolders;  // innermost first
  std::vector<std::string_view> Had;     // the written files that were there already
  bool RecordBegun = false;
  std::optional<std::string> RecordReplaced;  // the invalid record that a brought one replaced
  bool ShortcutBegun = false;
  std::optional<std::string> ShortcutReplaced;
  std::vector<std::string> SetAside;  // the left folders' programs, now .old
};
UndoRecord Done;

std::string InstallPath(const Plan& plan, std::string_view name, std::string_view suffix = "") {
  return InFolder(plan.Folder, std::string(name) + std::string(suffix));
}

bool IsProgram(const InstallFile& file) { return file.Source == FileSource::CarriedProgram; }

// NTFS journals a rename but not the data: after a lost power, a file renamed into place, or
// named by a detection, before its bytes reached the disk could read as zeros.
void WriteDurably(const std::string& path, std::string_view bytes) {
  WriteNewFile(path, bytes);
  FlushFile(path);
}

std::string TemporaryRecord(const Plan& plan) {
  return InFolder(plan.Folder, TemporaryRecordName(ProcessId()));
}

// Whether the program would take the file at path for its record.
bool IsValidRecord(const std::string& path) {
  const std::optional<std::string> head = ReadFileHead(path, BaselineReadLimit);
  return head && ParseBaselineRecords(*head);
}

// Puts a record in place whole: written under the program's own temporary name, flushed, renamed.
void PutRecord(const Plan& plan, const std::string& bytes) {
  Done.RecordBegun = true;
  WriteDurably(TemporaryRecord(plan), bytes);
  MoveReplacing(TemporaryRecord(plan), InstallPath(plan, RecordFile));
}

void WriteQuietRecordIfAsked(const Plan& plan) {
  if (!plan.QuietRecord || KindOf(InstallPath(plan, RecordFile)) != PathKind::None) return;
  SizeColumn unknown;
  unknown.Entries.fill(SizeUnknown);
  PutRecord(plan, FormatBaselineRecords(unknown));
}

void Mark(const Plan& plan) {
  std::string from;
  for (const std::string& folder : plan.OtherFolders) from += (from.empty() ? "" : "|") + folder;
  WriteRegistryValue(Key, "MovingTo", plan.Folder);
  WriteRegistryValue(Key, "MovingFrom", from);
  FlushRegistry();
}

// The key as this run found it: values added since deleted, the others written back.
void UndoMark(const Plan& plan) {
  if (!plan.FoundKey) return DeleteRegistryKey(Key);
  for (const auto& [name, value] : ReadRegistryKey(Key).value_or(RegistryValues{})) {
    if (!plan.FoundKey->contains(name)) DeleteRegistryValue(Key, name);
  }
  for (const auto& [name, value] : *plan.FoundKey) WriteRegistryValue(Key, name, value);
}

// Makes the folder and any folder above it that is missing, and tries writing in it.
void MakeInstallFolder(const Plan& plan) {
  try {
    std::vector<std::string> missing;
    for (std::string folder = plan.Folder; !folder.empty() && KindOf(folder) == PathKind::None;
         folder = ParentFolder(folder)) {
      missing.push_back(folder);
    }
    for (auto folder = missing.rbegin(); folder != missing.rend(); ++folder) {
      MakeFolder(*folder);
      Done.MadeFolders.insert(Done.MadeFolders.begin(), *folder);
    }
    WriteNewFile(InstallPath(plan, ProgramFile, NewSuffix), "");
  } catch (const SystemCallError& failure) {
    Log(std::string("The folder cannot be made or written to: ") + failure.what());
    throw Refusal(ExitFolderNotWritable, Say(Text::FolderNotWritable, plan.Folder));
  }
}

void UndoMakeInstallFolder(const Plan& plan) {
  DeleteFileIfThere(InstallPath(plan, ProgramFile, NewSuffix));
  for (const std::string& folder : Done.MadeFolders) RemoveFolderIfEmpty(folder);
}

// Each file beside the one it replaces, which an earlier cut-off may have set aside: that one is
// put back first, so that the folder is as that install found it.
void WriteNewFiles(const Plan& plan) {
  for (const InstallFile& file : InstallFiles) {
    if (!IsWritten(file)) continue;
    const std::string path = InstallPath(plan, file.Name);
    const std::string old = InstallPath(plan, file.Name, OldSuffix);
    if (KindOf(path) == PathKind::None && KindOf(old) == PathKind::File) MoveReplacing(old, path);
    DeleteFileIfThere(old);
    if (KindOf(path) == PathKind::File) Done.Had.push_back(file.Name);
    WriteDurably(InstallPath(plan, file.Name, NewSuffix), BytesOf(file));
  }
}

void UndoWriteNewFiles(const Plan& plan) {
  for (const InstallFile& file : InstallFiles) {
    if (IsWritten(file)) DeleteFileIfThere(InstallPath(plan, file.Name, NewSuffix));
  }
}

// Moves name aside as name.old, if it is there, and name.new into its place; and back.
void SwapIn(const Plan& plan, std::string_view name) {
  if (KindOf(InstallPath(plan, name)) == PathKind::File) {
    MoveReplacing(InstallPath(plan, name), InstallPath(plan, name, OldSuffix));
  }
  MoveReplacing(InstallPath(plan, name, NewSuffix), InstallPath(plan, name));
}

void SwapBack(const Plan& plan, std::string_view name) {
  DeleteFileIfThere(InstallPath(plan, name, NewSuffix));
  if (KindOf(InstallPath(plan, name, OldSuffix)) == PathKind::File) {
    MoveReplacing(InstallPath(plan, name, OldSuffix), InstallPath(plan, name));
  } else if (std::ranges::find(Done.Had, name) == Done.Had.end()) {
    DeleteFileIfThere(InstallPath(plan, name));
  }
}

// Every file that the install writes but the program, whose taking its place is the commit.
void SwapInFiles(const Plan& plan) {
  for (const InstallFile& file : InstallFiles) {
    if (IsWritten(file) && !IsProgram(file)) SwapIn(plan, file.Name);
  }
}

void UndoSwapInFiles(const Plan& plan) {
  for (auto file = std::rbegin(InstallFiles); file != std::rend(InstallFiles); ++file) {
    if (IsWritten(*file) && !IsProgram(*file)) SwapBack(plan, file->Name);
  }
}

// An install that leaves a folder brings its record along, so that the next check compares with it
// rather than starting afresh: the first valid record of the folders left, unless the folder has a
// valid one already; one there that is not valid is kept until the install is whole.
void BringRecord(const Plan& plan) {
  const std::string record = InstallPath(plan, RecordFile);
  for (const std::string& left : plan.OtherFolders) {
    const std::string brought = InFolder(left, RecordFile);
    if (IsValidRecord(record) || !IsValidRecord(brought)) continue;
    if (KindOf(record) == PathKind::File) Done.RecordReplaced = ReadWholeFile(record);
    PutRecord(plan, ReadWholeFile(brought));
  }
  WriteQuietRecordIfAsked(plan);
}

void UndoBringRecord(const Plan& plan) {
  if (!Done.RecordBegun) return;
  DeleteFileIfThere(TemporaryRecord(plan));
  DeleteFileIfThere(InstallPath(plan, RecordFile));
  if (Done.RecordReplaced) WriteDurably(InstallPath(plan, RecordFile), *Done.RecordReplaced);
}

// The entry names the folder but no version, which detection does not take for a whole install;
// the mark's undo puts back the key as it was.
void RegisterEntry(const Plan& plan) {
  const std::string uninstaller = InstallPath(plan, UninstallerFile);
  DeleteRegistryValue(Key, "DisplayVersion");
  for (const auto& [name, value] :
       RegistryValues{{"DisplayName", std::string("Quenwick")},
                      {"Publisher", std::string(QUENWICK_PUBLISHER)},
                      {"DisplayIcon", InstallPath(plan, ProgramFile)},
                      {"InstallLocation", plan.Folder},
                      {"UninstallString", "\"" + uninstaller + "\""},
                      {"QuietUninstallString", "\"" + uninstaller + "\" /S"},
                      {"EstimatedSize", InstallSizeKiB()},
                      {"NoModify", std::uint32_t{1}},
                      {"NoRepair", std::uint32_t{1}}}) {
    WriteRegistryValue(Key, name, value);
  }
}

// The shortcut that starts the program at every logon; the one it replaces is kept until the
// install is whole.
void MakeStartupShortcut(const Plan& plan) {
  if (KindOf(StartupShortcut()) == PathKind::File) {
    Done.ShortcutReplaced = ReadWholeFile(StartupShortcut());
  }
  Done.ShortcutBegun = true;
  MakeShortcut(StartupShortcut(), InstallPath(plan, ProgramFile));
  FlushFile(StartupShortcut());
}

void UndoMakeStartupShortcut(const Plan&) {
  if (!Done.ShortcutBegun) return;
  if (Done.ShortcutReplaced) return WriteDurably(StartupShortcut(), *Done.ShortcutReplaced);
  // Whatever stands there that is not a file, such as a folder, the step did not make.
  if (KindOf(StartupShortcut()) == PathKind::File) DeleteFileIfThere(StartupShortcut());
}

// No program of a folder that the install leaves is found or started once this one is in place.
void SetAsideLeftPrograms(const Plan& plan) {
  for (const std::string& left : plan.OtherFolders) {
    const std::string program = InFolder(left, ProgramFile);
    if (KindOf(program) != PathKind::File) continue;
    MoveReplacing(program, program + std::string(OldSuffix));
    Done.SetAside.push_back(program);
  }
}

void UndoSetAsideLeftPrograms(const Plan&) {
  for (const std::string& program : Done.SetAside) {
    MoveReplacing(program + std::string(OldSuffix), program);
  }
}

void SwapInProgram(const Plan& plan) { SwapIn(plan, ProgramFile); }
void UndoSwapInProgram(const Plan& plan) { SwapBack(plan, ProgramFile); }

void RegisterVersion(const Plan& plan) {
  WriteRegistryValue(Key, "DisplayVersion", std::string(SetupVersion));
  if (!IsWholeInstall(plan)) throw std::runtime_error("the install is not whole");
}

// What the install replaced: the set-aside files, and the records of runs that have ended.
void DeleteReplaced(const Plan& plan) {
  for (const InstallFile& file : InstallFiles) {
    if (IsWritten(file)) DeleteFileIfThere(InstallPath(plan, file.Name, OldSuffix));
  }
  for (const std::string& name : FolderEntries(plan.Folder)) {
    const std::optional<std::uint32_t> writer = TemporaryRecordOf(name);
    if (writer && !ProcessIsRunning(*writer)) DeleteFileIfThere(InFolder(plan.Folder, name));
  }
}

void EmptyLeftFolders(const Plan& plan) {
  for (const std::string& left : plan.OtherFolders) RemoveInstallFiles(left, "");
}

void Unmark(const Plan&) {
  DeleteRegistryValue(Key, "MovingTo");
  DeleteRegistryValue(Key, "MovingFrom");
}

struct Step {
  const char* Name;  // and its stop point, once it is done
  void (*Do)(const Plan&);
  void (*Undo)(const Plan&);
};

constexpr Step InstallSteps[] = {
    {"Mark", Mark, UndoMark},
    {"MakeInstallFolder", MakeInstallFolder, UndoMakeInstallFolder},
    {"WriteNewFiles", WriteNewFiles, UndoWriteNewFiles},
    {"SwapInFiles", SwapInFiles, UndoSwapInFiles},
    {"BringRecord", BringRecord, UndoBringRecord},
    {"RegisterEntry", RegisterEntry, nullptr},
    {"MakeStartupShortcut", MakeStartupShortcut, UndoMakeStartupShortcut},
    {"SetAsideLeftPrograms", SetAsideLeftPrograms, UndoSetAsideLeftPrograms},
    {"SwapInProgram", SwapInProgram, UndoSwapInProgram},
    {"RegisterVersion", RegisterVersion, nullptr},
};

// Once the install is whole, as its exit code says: a step that fails here keeps the mark, so that
// the next run lets go of the rest.
constexpr Step LetGoSteps[] = {
    {"DeleteReplaced", DeleteReplaced, nullptr},
    {"EmptyLeftFolders", EmptyLeftFolders, nullptr},
    {"Unmark", Unmark, nullptr},
};

void RunStep(const Step& step, const Plan& plan) {
  Log(std::string("Step ") + step.Name + ": begun");
  step.Do(plan);
  Log(std::string("Step ") + step.Name + ": done");
  StopPoint(step.Name);
}

}  // namespace

void RunInstall(const Plan& plan) {
  Done = {};
  std::size_t begun = 0;
  try {
    for (; begun < std::size(InstallSteps); ++begun) RunStep(InstallSteps[begun], plan);
  } catch (const std::exception& failure) {
    Log(std::string("Step ") + InstallSteps[begun].Name + ": failed: " + failure.what());
    // The last step first. An undo that fails ends the undo there: the mark, undone last, stays,
    // and the next run finishes the install.
    try {
      for (std::size_t step = begun + 1; step-- > 0;) {
        if (!InstallSteps[step].Undo) continue;
        InstallSteps[step].Undo(plan);
        Log(std::string("Step ") + InstallSteps[step].Name + ": undone");
      }
    } catch (const std::exception& undo) {
      Log(std::string("Undo failed, the mark kept for the next run: ") + undo.what());
    }
    if (const auto* refusal = dynamic_cast<const Refusal*>(&failure)) throw *refusal;
    throw Refusal(ExitFailed, Say(Text::InstallFailed, failure.what()));
  }
  try {
    for (const Step& step : LetGoSteps) RunStep(step, plan);
  } catch (const std::exception& failure) {
    Log(std::string("Letting go failed, the mark kept for the next run: ") + failure.what());
  }
}

bool LeaveWholeInstall(const Plan& plan) {
  if (plan.Unfinished || !IsWholeInstall(plan)) return false;
  Done = {};
  try {
    WriteQuietRecordIfAsked(plan);
  } catch (const SystemCallError& failure) {
    DeleteFileIfThere(TemporaryRecord(plan));
    throw Refusal(ExitFailed, Say(Text::InstallFailed, failure.what()));
  }
  return true;
}

std::vector<std::string> StopPoints() {
  std::vector<std::string> names;
  for (const Step& step : InstallSteps) names.emplace_back(step.Name);
  for (const Step& step : LetGoSteps) names.emplace_back(step.Name);
  return names;
}

}  // namespace quenwick
