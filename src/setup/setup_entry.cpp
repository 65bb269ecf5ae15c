// The run of the setup program and of its uninstaller: what the command line asks, the order of
// the checks, the dialogs of an interactive run, and the exit code.
#include "setup/setup_entry.h"

#include <exception>
#include <string>

#include "platform/platform.h"
#include "setup/command_line.h"
#include "setup/exit_codes.h"
#include "setup/folders.h"
#include "setup/hand_over.h"
#include "setup/install_checks.h"
#include "setup/install_plan.h"
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

// What the run has said last, for the log's last line.
std::string Said;

// Tells an interactive user how the run ends; a dialog that cannot be shown changes no exit code.
// The log's last line has it, silent or not.
void Tell(const CommandLine& asked, const std::string& text,
          MessageKind kind = MessageKind::Refusal) {
  if (text.empty()) return;
  Said = text;
  if (asked.Silent) return;
  try {
    ShowSetupMessage(DialogTitle(asked.Uninstall), text, kind);
  } catch (const std::exception&) {
  }
}

std::string FailureText(const CommandLine& asked, const std::exception& failure) {
  return Say(asked.Uninstall ? Text::UninstallFailed : Text::InstallFailed, failure.what());
}

// Every check that the plan's folder decides, the first refusal winning; then the install.
void InstallChecked(const Plan& plan, const CommandLine& asked) {
  CheckFolder(plan);
  CheckVersion(plan);
  CheckProgramNotRunning(plan, asked);
  RunInstall(plan);
}

// The first dialog, until the user installs or cancels: a refused folder keeps the user there to
// choose another.
int InstallInteractively(Plan plan, const CommandLine& asked) {
  for (;;) {
    const Answer answer = AskToInstall(DialogTitle(false), Say(Text::InstallInto, plan.Folder),
                                       Say(Text::Install), Say(Text::OtherFolder));
    if (answer == Answer::Cancel) return ExitCancelled;
    if (answer == Answer::OtherFolder) {
      if (std::optional<std::string> chosen = ChooseFolderDialog(DialogTitle(false))) {
        // As the folder for Quenwick, or the folder to put it in.
        plan = PlanInstall(
            EqualNoCase(FileName(*chosen), "Quenwick") ? *chosen : InFolder(*chosen, "Quenwick"),
            asked.QuietFirstLogon);
        Log("Folder chosen: " + plan.Folder);
      }
      continue;
    }
    try {
      InstallChecked(plan, asked);
      break;
    } catch (const Refusal& refusal) {
      if (refusal.ExitCode == ExitFailed || refusal.ExitCode == ExitRunning) throw;
      Log("Refused with " + std::to_string(refusal.ExitCode) + ": " + refusal.what());
      ShowSetupMessage(DialogTitle(false), refusal.what(), MessageKind::Refusal);
    }
  }
  // An install that has a record already has had its first check.
  const bool firstCheck = KindOf(InFolder(plan.Folder, RecordFile)) == PathKind::None;
  if (ShowFinish(DialogTitle(false), Say(Text::WhatComesNext),
                 firstCheck ? Say(Text::RunFirstCheck) : "")) {
    StartProgram(InFolder(plan.Folder, ProgramFile));
  }
  return ExitDone;
}

int Uninstall(const CommandLine& asked, const std::string& uninstaller) {
  const Plan plan = PlanRemoval(uninstaller);
  if (!asked.Silent && ShowSetupMessage(DialogTitle(true), Say(Text::ConfirmUninstall, plan.Folder),
                                        MessageKind::Confirm) != Answer::Yes) {
    return ExitCancelled;
  }
  RemoveInstall(plan, asked);
  Tell(asked, Say(Text::Uninstalled), MessageKind::Done);
  return ExitDone;
}

// The run, once the command line and the account allow it; uninstaller names the running
// uninstaller's own file, which an uninstall leaves for later, or is "".
int Run(const CommandLine& asked, const std::string& uninstaller) {
  try {
    TakeSetupLock();
    if (asked.Uninstall) return Uninstall(asked, uninstaller);
    const Plan plan = PlanInstall(asked.Folder, asked.QuietFirstLogon);
    Log("Folder: " + plan.Folder);
    if (asked.Silent && LeaveWholeInstall(plan)) return ExitDone;
    CheckVersion(plan);
    if (!asked.Silent) return InstallInteractively(plan, asked);
    InstallChecked(plan, asked);
    return ExitDone;
  } catch (const Refusal& refusal) {
    Tell(asked, refusal.what());
    return refusal.ExitCode;
  } catch (const std::exception& failure) {
    // A check that could not ask the system what it needs: nothing has changed yet.
    Tell(asked, FailureText(asked, failure));
    return ExitFailed;
  }
}

// The uninstaller's copy: the removal, told and handed back only once it is done, and then, with
// the lock let go so that an install started at once is not kept waiting, the uninstaller itself.
int RunAsCopy(const CommandLine& asked, const std::string& original) {
  std::optional<FileIdentity> identity;
  try {
    identity = IdentityOf(original);
  } catch (const SystemCallError&) {
    // Then the uninstaller stays, for the next setup program to take for its own.
  }
  Log("Removing the install of " + original);
  const int exitCode = Run(asked, original);
  ReleaseLock();
  HandBack(exitCode);
  Log("Gave back " + std::to_string(exitCode) + "; removing the uninstaller once it has ended");
  if (exitCode == ExitDone) RemoveHandedOverUninstaller(original, identity);
  try {
    PassOnOwnDeletion();
  } catch (const SystemCallError&) {
    // The next run's sweep deletes the copy.
  }
  return exitCode;
}

// The run from its start: what the command line asks, and whom for, come first, so that a silent
// run never shows a window, and a system account's changes nothing, not even a copy in its %TEMP%.
// The uninstaller, and its copy, remove whatever their arguments say.
int Start() {
  CommandLine asked;
  std::optional<std::string> original;
  try {
    asked = ReadCommandLine(CommandLineArguments());
    asked.Uninstall = asked.Uninstall || RunsAsUninstaller();
    original = HandedOverFrom();
    asked.Uninstall = asked.Uninstall || original.has_value();
    StartLog(asked.LogPath.value_or(""), original.has_value());
    Log(std::string(original ? "The uninstaller's copy" : FileName(OwnProgramPath())) +
        ", version " + SetupVersion + ", command line: " + CommandLineArguments());
    if (!asked.Unknown.empty()) {
      throw Refusal(ExitUnknownArgument, Say(Text::UnknownArgument, asked.Unknown));
    }
    CheckAccount();
  } catch (const Refusal& refusal) {
    Tell(asked, refusal.what());
    return refusal.ExitCode;
  } catch (const std::exception& failure) {
    Tell(asked, FailureText(asked, failure));
    return ExitFailed;
  }
  DeleteStaleCopies();
  if (original) return RunAsCopy(asked, *original);
  std::string uninstaller;
  try {
    if (RunsAsUninstaller()) {
      if (std::optional<int> exitCode = HandOverToCopy()) return *exitCode;
      // Without a copy, the removal runs in place and leaves the uninstaller's own file, which
      // the next setup program takes for its own.
      Log("Removing in place");
      uninstaller = OwnProgramPath();
    }
  } catch (const std::exception& failure) {
    Tell(asked, FailureText(asked, failure));
    return ExitFailed;
  }
  return Run(asked, uninstaller);
}

}  // namespace

int SetupEntry() {
  Said.clear();
  const int exitCode = Start();
  Log("Exit code " + std::to_string(exitCode) + (Said.empty() ? "" : ": " + Said));
  return exitCode;
}

}  // namespace quenwick
