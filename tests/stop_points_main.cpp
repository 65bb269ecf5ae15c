// Lists the setup program's stop points, one a line, as the program defines them; with --files, the
// files of an install instead. For the checks of the guides, which build no setup program.
#include <iostream>
#include <string_view>

#include "setup/install_files.h"
#include "setup/install_steps.h"

int main(int argc, char** argv) {
  if (argc > 1 && std::string_view(argv[1]) == "--files") {
    for (const quenwick::InstallFile& file : quenwick::InstallFiles) std::cout << file.Name << '\n';
    return 0;
  }
  for (const std::string& stop : quenwick::StopPoints()) std::cout << stop << '\n';
}
