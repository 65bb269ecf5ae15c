// Tells the user which watched files changed size since the previous run. Only a recorded size is
// compared: a file without one (a first run, or a file that has just appeared) is not reported.
#include "check/change_report.h"

#include <cstdint>
#include <exception>
#include <string_view>

#include "check/step_failure.h"
#include "check/watch_table.h"
#include "platform/platform.h"

namespace quenwick {
namespace {

constexpr std::string_view Viewer = "notepad.exe";

// Starts the viewer on path without waiting for it.
void OpenInViewer(const std::string& path) {
  const std::string viewer(Viewer);
  try {
    LaunchProgram(viewer + " " + path, ShowNormal);
  } catch (const std::exception&) {
    std::throw_with_nested(StepFailure("Nie udało się uruchomić programu " + viewer + "."));
  }
}

}  // namespace

std::string ChangeWarning(const std::string& path) {
  return "Plik: " + path + " zmienił zawartość. Czy chcesz obejrzeć ten plik w notatniku ?";
}

void ReportChanges() {
  for (int index = FirstIndex; index <= LastIndex; ++index) {
    const std::int32_t saved = WatchTable.SavedSizes[index];
    if (saved == SizeUnknown || WatchTable.CurrentSizes[index] == saved) continue;
    const std::string& path = WatchTable.FilePaths[index];
    // A file that has disappeared is reported too; Notepad then says that it cannot find it.
    if (ShowMessage(ChangeWarning(path), IconExclamation | ButtonsYesNo) == AnswerYes) {
      OpenInViewer(path);
    }
  }
}

}  // namespace quenwick
