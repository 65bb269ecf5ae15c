// What the command line of the setup program or the uninstaller asks for, read once.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace quenwick {

struct CommandLine {
  bool Silent = false;                 // /S
  bool QuietFirstLogon = false;        // /QuietFirstLogon
  bool Uninstall = false;              // /Uninstall
  std::optional<std::string> Folder;   // /D=, last, as given
  std::optional<std::string> LogPath;  // /Log=, quoted where it has spaces
  std::string Unknown;  // the first argument that is not one of these, or "" for none
};

// /S, /QuietFirstLogon, /Uninstall and /Log=<file>, and last /D= with a folder that takes the rest
// of the line unquoted, as tools that know NSIS's setup programs give it; switches in any case. A
// folder or a log that is not a full path is unknown too: a relative one would name a file by the
// current folder, which a deployment tool chooses.
CommandLine ReadCommandLine(std::string_view arguments);

}  // namespace quenwick
