// Test helper that says what the program's reader makes of record files: for each file named, a
// line "1" when the program takes it for its record, else "0", on standard output.
// Usage: record_reader.exe <path>... Exits 1 when a file cannot be opened.
#include <cstdio>
#include <string>

#include "check/baseline_records.h"

int wmain(int argc, wchar_t** argv) {
  for (int at = 1; at < argc; ++at) {
    std::FILE* file = nullptr;
    if (_wfopen_s(&file, argv[at], L"rb") != 0) return 1;
    std::string head(quenwick::BaselineReadLimit, '\0');
    head.resize(std::fread(head.data(), 1, head.size(), file));
    std::fclose(file);
    std::puts(quenwick::ParseBaselineRecords(head) ? "1" : "0");
  }
  return 0;
}
