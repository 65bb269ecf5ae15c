// For the tests alone: the setup program ends dead at the point that QUENWICK_SETUP_STOP names, as
// a crash or a lost power would; TerminateProcess runs no handler and no destructor.
#include <windows.h>

#include <cstring>

#include "setup/setup_platform.h"

namespace quenwick {

void StopPoint(const char* name) {
  char stop[64];
  const DWORD length = GetEnvironmentVariableA("QUENWICK_SETUP_STOP", stop, sizeof stop);
  if (length > 0 && length < sizeof stop && std::strcmp(stop, name) == 0) {
    TerminateProcess(GetCurrentProcess(), 99);
  }
}

}  // namespace quenwick
