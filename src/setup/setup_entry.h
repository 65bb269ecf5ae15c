// The setup program's entry, which its native entry point calls: reads the command line, runs the
// install or the removal that it asks for, and gives the exit code.
#pragma once

namespace quenwick {

int SetupEntry();

}  // namespace quenwick
