// What the setup program and the uninstaller tell the user, in Polish on a Polish Windows and in
// English on any other. A silent run shows none of them.
#pragma once

#include <string>

namespace quenwick {

enum class Message {
  SetupTitle,
  UninstallTitle,
  InstallInto,
  Install,
  OtherFolder,
  WhatComesNext,
  RunFirstCheck,
  NotForThisAccount,
  FolderInWindows,
  FolderTooLong,
  FolderNotEmpty,
  FolderNotWritable,
  NewerInstalled,
  ProgramRunning,
  AnotherSetupRunning,
  LockFailed,
  InstallFailed,
  UninstallFailed,
  ConfirmUninstall,
  Uninstalled,
  UnknownArgument,
  Count  // of the messages
};

// The message in the user's language, with first and second in place of %1 and %2.
std::string Say(Message message, const std::string& first = {}, const std::string& second = {});
// The title of the run's dialogs.
std::string DialogTitle(bool uninstall);

}  // namespace quenwick
