/* The yardstick for quenwick.exe's cost: the same Win32 calls as a pass in which nothing changed,
   with nothing else around them: no C runtime, and KERNEL32 the only import. */
#include <windows.h>

static const wchar_t* const watched[] = {L"hosts", L"hosts.sam", L"system32\\drivers\\etc\\hosts",
                                         L"system32\\drivers\\etc\\hosts.sam"};

static wchar_t* Append(wchar_t* end, const wchar_t* text) {
  while (*text) *end++ = *text++;
  *end = L'\0';
  return end;
}

static char* AppendSize(char* end, LONGLONG size) {
  char digits[24];
  int count = 0;
  if (size < 0) {
    *end++ = '-';
    size = -size;
  }
  do digits[count++] = (char)('0' + size % 10);
  while ((size /= 10) > 0);
  while (count > 0) *end++ = digits[--count];
  *end++ = '\r';
  *end++ = '\n';
  return end;
}

static HANDLE OpenForReading(const wchar_t* path) {
  return CreateFileW(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                     NULL, OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, NULL);
}

void Start(void) {
  char ansi[MAX_PATH], records[64], *recordsEnd = records, head[64];
  wchar_t path[MAX_PATH], temporary[MAX_PATH];
  SetDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32);

  const UINT length = GetWindowsDirectoryA(ansi, MAX_PATH);
  const int directoryLength = MultiByteToWideChar(CP_ACP, 0, ansi, (int)length, path, MAX_PATH);
  for (int index = 0; index < 4; ++index) {
    wchar_t* end = path + directoryLength;
    *end++ = L'\\';
    Append(end, watched[index]);
    LARGE_INTEGER size;
    size.QuadPart = -1;
    const HANDLE file = CreateFileW(path, FILE_READ_ATTRIBUTES,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, NULL,
                                    OPEN_EXISTING, 0, NULL);
    if (file != INVALID_HANDLE_VALUE) {
      if (GetFileType(file) != FILE_TYPE_DISK || !GetFileSizeEx(file, &size)) size.QuadPart = -1;
      CloseHandle(file);
    }
    recordsEnd = AppendSize(recordsEnd, size.QuadPart);
  }

  const DWORD programLength = GetModuleFileNameW(NULL, path, MAX_PATH);
  wchar_t* separator = path + programLength;
  while (*separator != L'\\') --separator;
  Append(separator, L"\\data.dat");
  DWORD count = 0;
  const HANDLE baseline = OpenForReading(path);
  if (baseline != INVALID_HANDLE_VALUE) {
    if (GetFileType(baseline) == FILE_TYPE_DISK)
      ReadFile(baseline, head, sizeof head, &count, NULL);
    CloseHandle(baseline);
  }

  Append(Append(temporary, path), L".1.tmp");
  const HANDLE file =
      CreateFileW(temporary, GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
  const DWORD size = (DWORD)(recordsEnd - records);
  if (file == INVALID_HANDLE_VALUE || !WriteFile(file, records, size, &count, NULL) ||
      count != size || !FlushFileBuffers(file)) {
    ExitProcess(1);
  }
  CloseHandle(file);
  if (!MoveFileExW(temporary, path, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    ExitProcess(1);
  }
  ExitProcess(0);
}
