// For the tests alone: the setup program ends dead at the point that QUENWICK_SETUP_STOP names, as
// a crash or a lost power would; TerminateProcess runs no handler and no destructor. Started with
// QUENWICK_SETUP_STOPS_FILE, it writes there the names of its stop points, one a line, and ends.
#include <windows.h>

#include <cstring>
#include <string>

#include "platform/text_win32.h"
#include "setup/install_steps.h"
#include "setup/setup_platform.h"

namespace quenwick {
namespace {

// Before the program's entry, so that nothing else of the run happens.
const bool Listed = [] {
  wchar_t path[MAX_PATH * 4];
  const DWORD length = GetEnvironmentVariableW(L"QUENWICK_SETUP_STOPS_FILE", path, MAX_PATH * 4);
  if (length == 0 || length >= MAX_PATH * 4) return false;
  std::string lines;
  for (const std::string& stop : StopPoints()) lines += stop + "\r\n";
  AppendToFile(Narrow(path), lines, true);
  ExitProcess(0);
}();

}  // namespace

void StopPoint(const char* name) {
  char stop[64];
  const DWORD length = GetEnvironmentVariableA("QUENWICK_SETUP_STOP", stop, sizeof stop);
  if (length > 0 && length < sizeof stop && std::strcmp(stop, name) == 0) {
    TerminateProcess(GetCurrentProcess(), 99);
  }
}

}  // namespace quenwick
