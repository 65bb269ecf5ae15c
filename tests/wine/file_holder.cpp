// Test helper that plays another program holding a file open: opens it with no sharing at all, or
// sharing reading only ("read"), or reading it as a scanner does, sharing reading and writing but
// not deleting ("scan"); says "held" on standard output, and keeps it open for the given
// milliseconds, or until its standard input ends.
// Usage: file_holder.exe <path> [none|read|scan] [milliseconds]. Exits 1 when the file cannot be
// opened.
#include <windows.h>

#include <cwchar>
#include <string_view>

int wmain(int argc, wchar_t** argv) {
  if (argc < 2 || argc > 4) return 2;
  const std::wstring_view sharing = argc > 2 ? argv[2] : L"none";
  const bool scan = sharing == L"scan";
  const DWORD share = scan                 ? FILE_SHARE_READ | FILE_SHARE_WRITE
                      : sharing == L"read" ? FILE_SHARE_READ
                                           : 0;
  const HANDLE file = CreateFileW(argv[1], scan ? GENERIC_READ : GENERIC_READ | GENERIC_WRITE,
                                  share, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return 1;
  DWORD count = 0;
  WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), "held\n", 5, &count, nullptr);
  if (argc > 3) {
    Sleep(static_cast<DWORD>(std::wcstoul(argv[3], nullptr, 10)));
  } else {
    char buffer[64];
    while (ReadFile(GetStdHandle(STD_INPUT_HANDLE), buffer, sizeof buffer, &count, nullptr) &&
           count > 0) {
    }
  }
  CloseHandle(file);
  return 0;
}
