// The log, written a line at a time, so that a run cut off leaves every line before it.
#include "setup/setup_log.h"

#include "setup/setup_platform.h"

namespace quenwick {
namespace {

std::string LogPath;  // "" while there is no log, or once it could not be written
bool Fresh = false;   // the next line starts the file afresh

}  // namespace

void StartLog(const std::string& path, bool continued) {
  LogPath = path;
  Fresh = !continued;
}

void Log(const std::string& line) {
  if (LogPath.empty()) return;
  if (!AppendToFile(LogPath, LocalTime() + " " + line + "\r\n", Fresh)) LogPath.clear();
  Fresh = false;
}

}  // namespace quenwick
