// The platform operations on Windows. Text is UTF-8 inside the program and becomes UTF-16 here,
// at each call; every failing call becomes an exception that names it.
#include <windows.h>

#include <algorithm>
#include <cstddef>
#include <cstdlib>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "platform/error_win32.h"
#include "platform/lock_wait_win32.h"
#include "platform/platform.h"
#include "platform/text_win32.h"
#include "platform/unique_handle_win32.h"
#include "platform/user32_win32.h"

namespace quenwick {

static_assert(ButtonsOk == MB_OK && ButtonsYesNo == MB_YESNO && ButtonsMask == MB_TYPEMASK);
static_assert(IconExclamation == MB_ICONEXCLAMATION && IconInformation == MB_ICONINFORMATION);
static_assert(AnswerOk == IDOK && AnswerYes == IDYES && AnswerNo == IDNO);
static_assert(ShowNormal == SW_SHOWNORMAL);

namespace {

constexpr wchar_t Caption[] = L"Quenwick";

// CreateFileW reports failure with INVALID_HANDLE_VALUE rather than null.
UniqueHandle AdoptFileHandle(HANDLE file) {
  return UniqueHandle(file == INVALID_HANDLE_VALUE ? nullptr : file);
}

// Opens an existing file with access, allowing every sharing mode, so that only a file that another
// process really locks against that access fails to open.
UniqueHandle OpenExistingFile(const std::wstring& path, DWORD access, DWORD flags) {
  return AdoptFileHandle(CreateFileW(path.c_str(), access,
                                     FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                     nullptr, OPEN_EXISTING, flags, nullptr));
}

// Keeps file only if it is a file on disk. A directory does not even open without
// FILE_FLAG_BACKUP_SEMANTICS; devices and pipes are turned away here by their type.
UniqueHandle OnlyDiskFile(UniqueHandle file) {
  if (file && GetFileType(file.get()) != FILE_TYPE_DISK) file.reset();
  return file;
}

// Opens a file on disk for reading, or gives null. A file that another program holds for a moment
// is waited for, so that a scanner's look at it is not taken for a missing file.
UniqueHandle OpenDiskFileForReading(const std::string& path) {
  const std::wstring widePath = Widen(path);
  UniqueHandle file;
  for (unsigned attempt = 0;; ++attempt) {
    file = OpenExistingFile(widePath, GENERIC_READ, FILE_FLAG_SEQUENTIAL_SCAN);
    if (file || !IsHeldOpen(GetLastError()) || !PauseBeforeRetry(attempt)) break;
  }
  return OnlyDiskFile(std::move(file));
}

// Replaces target with source, waiting for a target that another program holds for a moment.
void MoveOverWaitingForHolders(const std::wstring& source, const std::wstring& target) {
  RetryWhileHeld(
      [&] {
        return MoveFileExW(source.c_str(), target.c_str(),
                           MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
      },
      "MoveFileExW", Narrow(target));
}

// Writes contents to a new file at path and flushes it to disk.
void WriteNewFile(const std::wstring& path, std::string_view contents) {
  const UniqueHandle file = AdoptFileHandle(CreateFileW(
      path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) ThrowLastError("CreateFileW", Narrow(path));
  DWORD written = 0;
  if (!WriteFile(file.get(), contents.data(), static_cast<DWORD>(contents.size()), &written,
                 nullptr)) {
    ThrowLastError("WriteFile", Narrow(path));
  }
  if (written != contents.size()) ThrowWin32Error(ERROR_WRITE_FAULT, "WriteFile", Narrow(path));
  if (!FlushFileBuffers(file.get())) ThrowLastError("FlushFileBuffers", Narrow(path));
}

// A folder that a Win32 call writes into a buffer.
std::wstring FolderFrom(const char* callName, UINT(WINAPI* call)(LPWSTR, UINT)) {
  const std::wstring folder = FilledBuffer<wchar_t>(
      MAX_PATH,
      [call](wchar_t* text, std::size_t size) { return call(text, static_cast<UINT>(size)); });
  if (folder.empty()) ThrowLastError(callName, "folder");
  return folder;
}

// Where a bare program name is looked for: the system folder, the Windows folder, then the
// absolute folders of PATH. Never the current directory nor the program's own folder, where a
// planted program of the same name could stand in for the real one.
std::vector<std::wstring> ProgramSearchFolders() {
  std::vector<std::wstring> folders{FolderFrom("GetSystemDirectoryW", GetSystemDirectoryW),
                                    FolderFrom("GetWindowsDirectoryW", GetWindowsDirectoryW)};
  const std::wstring path = FilledBuffer<wchar_t>(MAX_PATH, [](wchar_t* text, std::size_t size) {
    return GetEnvironmentVariableW(L"PATH", text, static_cast<DWORD>(size));
  });
  for (std::size_t start = 0; start < path.size();) {
    const std::size_t end = std::min(path.find(L';', start), path.size());
    const std::wstring folder = path.substr(start, end - start);
    const bool absolute = (folder.size() >= 3 && folder[1] == L':' && folder[2] == L'\\') ||
                          folder.starts_with(L"\\\\");
    if (absolute) folders.push_back(folder);
    start = end + 1;
  }
  return folders;
}

std::wstring FindProgram(const std::wstring& program) {
  if (program.find_first_of(L"\\/:") != std::wstring::npos) return program;
  for (std::wstring candidate : ProgramSearchFolders()) {
    if (!candidate.ends_with(L'\\')) candidate += L'\\';
    candidate += program;
    const DWORD attributes = GetFileAttributesW(candidate.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
      return candidate;
    }
  }
  ThrowWin32Error(ERROR_FILE_NOT_FOUND, "FindProgram", Narrow(program));
}

// The fatal error report: the sentence, the system's reason in the user's language, and on a last
// line of its own what a developer needs, the call, its subject and the error number.
std::string FatalErrorText(const std::string& sentence, const std::exception& cause) {
  const auto* failure = dynamic_cast<const SystemCallError*>(&cause);
  if (failure == nullptr) return sentence + "\n\n" + cause.what();
  const std::error_code error = failure->code();
  return sentence + "\n\n" + SystemReason(*failure) + "\n\n" + failure->Call + ", " +
         error.category().name() + " error " + std::to_string(error.value());
}

// Writes text to standard error if the process has one; a GUI program usually does not.
void WriteToStandardError(std::string_view text) {
  const HANDLE error = GetStdHandle(STD_ERROR_HANDLE);
  if (error == nullptr || error == INVALID_HANDLE_VALUE) return;
  DWORD written = 0;
  WriteFile(error, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
}

}  // namespace

std::uint32_t GetWindowsDirectoryA(char* buffer, std::uint32_t size) {
  return ::GetWindowsDirectoryA(buffer, size);
}

std::string AnsiToUtf8(std::string_view ansiText) { return Narrow(ToUtf16(ansiText, CP_ACP)); }

std::string ProgramDirectory() {
  // A path cut short to the buffer's size is told only by its length.
  std::wstring path = FilledBuffer<wchar_t>(MAX_PATH, [](wchar_t* text, std::size_t size) {
    return GetModuleFileNameW(nullptr, text, static_cast<DWORD>(size));
  });
  if (path.empty()) ThrowLastError("GetModuleFileNameW", "quenwick.exe");
  // At a drive root the separator stays, as in C:\ ; anywhere else it goes.
  const std::size_t separator = path.rfind(L'\\');
  const bool atDriveRoot = separator > 0 && path[separator - 1] == L':';
  path.resize(atDriveRoot ? separator + 1 : separator);
  return Narrow(path);
}

int ShowMessage(const std::string& text, unsigned style) {
  // The checker has no window of its own and runs at logon, so its boxes ask for the front
  // rather than wait unseen behind other windows.
  const int answer =
      SystemMessageBoxW()(nullptr, Widen(text).c_str(), Caption, style | MB_SETFOREGROUND);
  if (answer == 0) ThrowLastError("MessageBoxW", text);
  return answer;
}

void LaunchProgram(const std::string& commandLine, int windowMode) {
  std::wstring line = Widen(commandLine);
  const std::wstring program = FindProgram(line.substr(0, line.find(L' ')));
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESHOWWINDOW;
  startup.wShowWindow = static_cast<WORD>(windowMode);
  PROCESS_INFORMATION process{};
  // The full path names the program to start; the line the program sees stays as the caller gave
  // it.
  if (!CreateProcessW(program.c_str(), line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                      &startup, &process)) {
    ThrowLastError("CreateProcessW", Narrow(program));
  }
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
}

std::optional<std::uint64_t> FileLength(const std::string& path) {
  // Opened for its attributes alone, which no sharing mode of another program's open denies and
  // which anyone who may list the folder is granted: a file that is held open elsewhere, or that
  // the user may not read, still gives its length, and there is nothing to wait out.
  const UniqueHandle file = OnlyDiskFile(OpenExistingFile(Widen(path), FILE_READ_ATTRIBUTES, 0));
  LARGE_INTEGER length;
  if (!file || !GetFileSizeEx(file.get(), &length)) return std::nullopt;
  return static_cast<std::uint64_t>(length.QuadPart);
}

std::optional<std::string> ReadFileHead(const std::string& path, std::size_t maxBytes) {
  const UniqueHandle file = OpenDiskFileForReading(path);
  if (!file) return std::nullopt;
  // One read: a file on disk gives all that is asked for, or all that there is.
  std::string head(maxBytes, '\0');
  DWORD count = 0;
  const auto wanted = static_cast<DWORD>(std::min<std::size_t>(maxBytes, MAXDWORD));
  if (!ReadFile(file.get(), head.data(), wanted, &count, nullptr)) return std::nullopt;
  head.resize(count);
  return head;
}

void WriteFileAtomically(const std::string& path, std::string_view contents) {
  const std::wstring target = Widen(path);
  // Named after this process, so two checkers running at once never share a temporary file.
  const std::wstring temporary = target + L"." + std::to_wstring(GetCurrentProcessId()) + L".tmp";
  try {
    WriteNewFile(temporary, contents);
    MoveOverWaitingForHolders(temporary, target);
  } catch (...) {
    // The old file stays as it was; only the unfinished temporary file goes.
    DeleteFileW(temporary.c_str());
    throw;
  }
}

void EndProgram(int exitStatus) { std::exit(exitStatus); }

void ReportFatalError(const std::string& sentence, const std::exception& cause) {
  const std::string text = FatalErrorText(sentence, cause);
  try {
    ShowMessage(text, MB_OK | MB_ICONERROR);
  } catch (const std::exception& failure) {
    // Without a box (no user32, say), standard error, where a caller may be reading, is what is
    // left; the exit status says it in any case.
    WriteToStandardError(text + "\n\n" + failure.what() + "\n");
  }
  std::exit(1);
}

}  // namespace quenwick
