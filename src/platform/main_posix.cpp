// The native entry point of the POSIX build, which checks the Windows directory of a Wine prefix.
// It reads no command line: the whole run is the program's own entry.
#include "check/program_entry.h"

int main() { quenwick::ProgramEntry(); }
