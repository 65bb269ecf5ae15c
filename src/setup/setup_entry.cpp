// The run of the setup program and of its uninstaller: the command line, the order of the checks,
// the dialogs of an interactive run, and the exit code.
#include "setup/setup_entry.h"

#include <exception>
#include <string>

#include "platform/platform.h"
#include "setup/command_line.h"
#include "setup/exit_codes.h"
#include "setup/folders.h"
#include "setup/hand_over.h"
#include "setup/install_checks.h"
#include "setup/install_state.h"
#include "setup/install_steps.h"
#include "setup/messages.h"
#include "setup/refusal.h"
#include "setup/removal.h"
#include "setup/setup_log.h"
#include "setup/setup_names.h"
#include "setup/setup_platform.h"
#include "setup/setup_version.h"

namespace quenwick {
namespace {

// The uninstaller is the setup program's own copy, under its name.
bool RunsAsUninstaller() { return EqualNoCase(FileName(OwnProgramPath()), UninstallerFile); }

// What the command line asks for, into Setup; the first argument that it does not know, or "". The
// uninstaller removes whatever its arguments say.
std::string TakeCommandLine() {
  const CommandLine asked = ReadCommandLine(CommandLineArguments());
  Setup.Silent = asked.Silent;
  Setup.QuietFirstLogon = asked.QuietFirstLogon;
  Setup.Uninstall = asked.Uninstall || RunsAsUninstaller();
  Setup.GivenFolder = asked.Folder;
  Setup.LogPath = asked.LogPath.value_or("");
  return asked.Unknown;
}

// What the run has said last, for the log's last line.
std::string Said;

// Tells an interactive user how the run ends; a dialog that cannot be shown changes no exit code.
// The log's last line has it, silent or not.
void Tell(const std::string& text, MessageKind kind = MessageKind::Refusal) {
  if (text.empty()) return;
  Said = text;
  if (Setup.Silent) return;
  try {
    ShowSetupMessage(DialogTitle(), text, kind);
  } catch (const std::exception&) {
  }
}

// Every check that the chosen folder decides, the first refusal winning; then the install.
void InstallChecked() {
  FindOtherFolders();
  CheckFolder();
  CheckVersion();
  CheckProgramNotRunning();
  RunInstall();
}

// The first dialog, until the user installs or cancels: a refused folder keeps the user there to
// choose another.
int InstallInteractively() {
  for (;;) {
    const Answer answer = AskToInstall(DialogTitle(), Say(Message::InstallInto, Setup.Folder),
                                       Say(Message::Install), Say(Message::OtherFolder));
    if (answer == Answer::Cancel) return ExitCancelled;
    if (answer == Answer::OtherFolder) {
      if (std::optional<std::string> chosen = ChooseFolderDialog(DialogTitle())) {
        // As the folder for Quenwick, or the folder to put it in.
        Setup.GivenFolder =
            EqualNoCase(FileName(*chosen), "Quenwick") ? *chosen : InFolder(*chosen, "Quenwick");
        ChooseFolder();
        Log("Folder chosen: " + Setup.Folder);
      }
      continue;
    }
    try {
      InstallChecked();
      break;
    } catch (const Refusal& refusal) {
      if (refusal.ExitCode == ExitFailed || refusal.ExitCode == ExitRunning) throw;
      Log("Refused with " + std::to_string(refusal.ExitCode) + ": " + refusal.what());
      ShowSetupMessage(DialogTitle(), refusal.what(), MessageKind::Refusal);
    }
  }
  // An install that has a record already has had its first check.
  const bool firstCheck = KindOf(InFolder(Setup.Folder, RecordFile)) == PathKind::None;
  if (ShowFinish(DialogTitle(), Say(Message::WhatComesNext),
                 firstCheck ? Say(Message::RunFirstCheck) : "")) {
    StartProgram(InFolder(Setup.Folder, ProgramFile));
  }
  return ExitDone;
}

int Uninstall() {
  if (!Setup.Silent) {
    const std::string folder = Setup.LeftForLater.empty()
                                   ? (Setup.KnownFolders.empty() ? "" : Setup.KnownFolders.front())
                                   : ParentFolder(Setup.LeftForLater);
    if (ShowSetupMessage(DialogTitle(), Say(Message::ConfirmUninstall, folder),
                         MessageKind::Confirm) != Answer::Yes) {
      return ExitCancelled;
    }
  }
  Setup.LeftForLater.empty() ? UninstallRegistered() : UninstallOwnFolder();
  Tell(Say(Message::Uninstalled), MessageKind::Done);
  return ExitDone;
}

std::string FailureText(const std::exception& failure) {
  return Say(Setup.Uninstall ? Message::UninstallFailed : Message::InstallFailed, failure.what());
}

// The run, once the command line and the account allow it.
int Run() {
  try {
    TakeSetupLock();
    ReadRegisteredInstall();
    if (Setup.Uninstall) return Uninstall();
    ChooseFolder();
    Log("Folder: " + Setup.Folder);
    if (Setup.Silent && LeaveWholeInstall()) return ExitDone;
    CheckVersion();
    if (!Setup.Silent) return InstallInteractively();
    InstallChecked();
    return ExitDone;
  } catch (const Refusal& refusal) {
    Tell(refusal.what());
    return refusal.ExitCode;
  } catch (const std::exception& failure) {
    // A check that could not ask the system what it needs: nothing has changed yet.
    Tell(FailureText(failure));
    return ExitFailed;
  }
}

// The uninstaller's copy: the removal, told and handed back only once it is done, and then, with
// the lock let go so that an install started at once is not kept waiting, the uninstaller itself.
int RunAsCopy(const std::string& original) {
  Setup.LeftForLater = original;
  std::optional<FileIdentity> identity;
  try {
    identity = IdentityOf(original);
  } catch (const SystemCallError&) {
    // Then the uninstaller stays, for the next setup program to take for its own.
  }
  Log("Removing the install of " + original);
  const int exitCode = Run();
  ReleaseLock();
  HandBack(exitCode);
  Log("Gave back " + std::to_string(exitCode) + "; removing the uninstaller once it has ended");
  if (exitCode == ExitDone) RemoveHandedOverUninstaller(identity);
  try {
    PassOnOwnDeletion();
  } catch (const SystemCallError&) {
    // The next run's sweep deletes the copy.
  }
  return exitCode;
}

// The run from its start: what the command line asks, and whom for, come first, so that a silent
// run never shows a window, and a system account's changes nothing, not even a copy in its %TEMP%.
int Start() {
  std::optional<std::string> original;
  try {
    const std::string unknown = TakeCommandLine();
    original = HandedOverFrom();
    StartLog(Setup.LogPath, original.has_value());
    Log(std::string(original ? "The uninstaller's copy" : FileName(OwnProgramPath())) +
        ", version " + SetupVersion + ", command line: " + CommandLineArguments());
    if (!unknown.empty())
      throw Refusal(ExitUnknownArgument, Say(Message::UnknownArgument, unknown));
    Setup.Uninstall = Setup.Uninstall || original.has_value();
    CheckAccount();
  } catch (const Refusal& refusal) {
    Tell(refusal.what());
    return refusal.ExitCode;
  } catch (const std::exception& failure) {
    Tell(FailureText(failure));
    return ExitFailed;
  }
  DeleteStaleCopies();
  if (original) return RunAsCopy(*original);
  try {
    if (RunsAsUninstaller()) {
      if (std::optional<int> exitCode = HandOverToCopy()) return *exitCode;
      // Without a copy, the removal runs in place and leaves the uninstaller's own file, which
      // the next setup program takes for its own.
      Log("Removing in place");
      Setup.LeftForLater = OwnProgramPath();
    }
  } catch (const std::exception& failure) {
    Tell(FailureText(failure));
    return ExitFailed;
  }
  return Run();
}

}  // namespace

int SetupEntry() {
  Said.clear();
  const int exitCode = Start();
  Log("Exit code " + std::to_string(exitCode) + (Said.empty() ? "" : ": " + Said));
  return exitCode;
}

}  // namespace quenwick
