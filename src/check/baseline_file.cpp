// The baseline file "data.dat" beside the program. It is read with one bounded read and replaced
// in one step, so a crash or a failing disk never leaves half a file for the next run.
#include "check/baseline_file.h"

#include <exception>
#include <optional>

#include "check/baseline_records.h"
#include "check/step_failure.h"
#include "check/watch_table.h"
#include "platform/platform.h"

namespace quenwick {

std::string BaselinePath() { return ProgramDirectory() + "\\data.dat"; }

void LoadBaseline() {
  const std::optional<std::string> head = ReadFileHead(BaselinePath(), BaselineReadLimit);
  const std::optional<SizeColumn> records = head ? ParseBaselineRecords(*head) : std::nullopt;
  if (records) {
    WatchTable.SavedSizes = *records;
    return;
  }
  // Without a baseline there is nothing to compare against this time; the next run will have one.
  ShowMessage(std::string(FirstRunNotice), IconInformation | ButtonsOk);
  for (int index = FirstIndex; index <= LastIndex; ++index) {
    WatchTable.SavedSizes[index] = SizeUnknown;
  }
}

void SaveBaseline() {
  const std::string path = BaselinePath();
  try {
    WriteFileAtomically(path, FormatBaselineRecords(WatchTable.CurrentSizes));
  } catch (const std::exception&) {
    std::throw_with_nested(StepFailure("Nie udało się zapisać pliku " + path + "."));
  }
}

}  // namespace quenwick
