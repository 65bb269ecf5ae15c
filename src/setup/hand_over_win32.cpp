// The command line, and the uninstaller's hand-over to a copy of itself in the temporary folder, as
// well-made uninstallers (rustup's self uninstall among them) do it: the copy is opened to be
// deleted on close and that handle is inherited by the copy alone; the copy gives its exit code
// back through a pipe, and at its end passes the handle on to a short-lived system program, since
// Windows does not delete a file whose last handle is closed by the process that runs it.
#include <windows.h>

#include <cwchar>
#include <memory>
#include <vector>

#include "platform/error_win32.h"
#include "platform/platform.h"
#include "platform/text_win32.h"
#include "platform/unique_handle_win32.h"
#include "setup/hold_wait_win32.h"
#include "setup/setup_platform.h"

namespace quenwick {
namespace {

// The first argument of the copy: "/HandOver=<process>,<pipe>,<file>", the inherited handles of
// the uninstaller that started it, of the pipe that takes its exit code, and of its own file.
constexpr std::wstring_view HandOverSwitch = L"/HandOver=";

struct HandOver {
  HANDLE Original = nullptr;
  HANDLE CodePipe = nullptr;
  HANDLE OwnFile = nullptr;
};

// The uninstaller's handle to the copy, opened to be deleted on close, until the copy has it.
UniqueHandle OpenCopy;

// The command line after the program's name, which ends at the first space, or is quoted.
std::wstring_view ArgumentsAfterProgram() {
  std::wstring_view line = GetCommandLineW();
  const std::size_t end = line.starts_with(L'"') ? line.find(L'"', 1) : line.find_first_of(L" \t");
  line.remove_prefix(end == std::wstring_view::npos ? line.size() : end + 1);
  return line.substr(std::min(line.find_first_not_of(L" \t"), line.size()));
}

std::optional<HandOver> HandOverHandles() {
  const std::wstring_view arguments = ArgumentsAfterProgram();
  if (!arguments.starts_with(HandOverSwitch)) return std::nullopt;
  unsigned long long process = 0, pipe = 0, file = 0;
  if (std::swscanf(std::wstring(arguments.substr(HandOverSwitch.size())).c_str(), L"%llx,%llx,%llx",
                   &process, &pipe, &file) != 3) {
    return std::nullopt;
  }
  return HandOver{reinterpret_cast<HANDLE>(process), reinterpret_cast<HANDLE>(pipe),
                  reinterpret_cast<HANDLE>(file)};
}

std::wstring Hex(HANDLE handle) {
  wchar_t text[20];
  std::swprintf(text, 20, L"%llx", reinterpret_cast<unsigned long long>(handle));
  return text;
}

// Starts program with command line, its current folder that of folder, inheriting the handles
// given and no other; throws naming the program when it cannot be started.
UniqueHandle StartInheriting(const std::wstring& program, std::wstring line,
                             const std::wstring& folder, std::vector<HANDLE> inherited,
                             DWORD flags) {
  SIZE_T size = 0;
  InitializeProcThreadAttributeList(nullptr, 1, 0, &size);
  std::unique_ptr<char[]> buffer(new char[size]);
  const auto attributes = reinterpret_cast<LPPROC_THREAD_ATTRIBUTE_LIST>(buffer.get());
  if (!InitializeProcThreadAttributeList(attributes, 1, 0, &size)) {
    ThrowLastError("InitializeProcThreadAttributeList", Narrow(program));
  }
  const std::unique_ptr<std::remove_pointer_t<LPPROC_THREAD_ATTRIBUTE_LIST>,
                        decltype(&DeleteProcThreadAttributeList)>
      list(attributes, DeleteProcThreadAttributeList);
  if (!UpdateProcThreadAttribute(attributes, 0, PROC_THREAD_ATTRIBUTE_HANDLE_LIST, inherited.data(),
                                 inherited.size() * sizeof(HANDLE), nullptr, nullptr)) {
    ThrowLastError("UpdateProcThreadAttribute", Narrow(program));
  }
  STARTUPINFOEXW startup{};
  startup.StartupInfo.cb = sizeof startup;
  startup.lpAttributeList = attributes;
  PROCESS_INFORMATION process{};
  if (!CreateProcessW(program.c_str(), line.data(), nullptr, nullptr, TRUE,
                      EXTENDED_STARTUPINFO_PRESENT | flags, nullptr, folder.c_str(),
                      &startup.StartupInfo, &process)) {
    ThrowLastError("CreateProcessW", Narrow(program));
  }
  CloseHandle(process.hThread);
  return UniqueHandle(process.hProcess);
}

}  // namespace

std::string CommandLineArguments() {
  std::wstring_view arguments = ArgumentsAfterProgram();
  if (HandOverHandles()) {
    arguments.remove_prefix(std::min(arguments.find_first_of(L" \t"), arguments.size()));
    arguments.remove_prefix(std::min(arguments.find_first_not_of(L" \t"), arguments.size()));
  }
  return Narrow(arguments);
}

void OpenToDeleteOnClose(const std::string& path) {
  const std::wstring wide = Widen(path);
  SECURITY_ATTRIBUTES inheritable{sizeof inheritable, nullptr, TRUE};
  HANDLE opened = INVALID_HANDLE_VALUE;
  WaitOutHold(
      [&] {
        opened = CreateFileW(wide.c_str(), DELETE, FILE_SHARE_READ | FILE_SHARE_DELETE,
                             &inheritable, OPEN_EXISTING, FILE_FLAG_DELETE_ON_CLOSE, nullptr);
        return opened != INVALID_HANDLE_VALUE;
      },
      "CreateFileW", path);
  OpenCopy.reset(opened);
}

int StartCopyAndWait(const std::string& copy) {
  // However this ends, the uninstaller's own handle to the copy goes: before the copy starts, that
  // deletes it; after, the copy holds it.
  const UniqueHandle copyFile = std::move(OpenCopy);
  const std::wstring program = Widen(copy);
  SECURITY_ATTRIBUTES inheritable{sizeof inheritable, nullptr, TRUE};
  HANDLE self = nullptr;
  if (!DuplicateHandle(GetCurrentProcess(), GetCurrentProcess(), GetCurrentProcess(), &self,
                       SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION, TRUE, 0)) {
    ThrowLastError("DuplicateHandle", "uninstaller");
  }
  const UniqueHandle original(self);
  HANDLE readEnd = nullptr, writeEnd = nullptr;
  if (!CreatePipe(&readEnd, &writeEnd, &inheritable, 0)) ThrowLastError("CreatePipe", "exit code");
  const UniqueHandle codeReader(readEnd);
  UniqueHandle codeWriter(writeEnd);
  SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);

  const std::wstring line = L"\"" + program + L"\" " + std::wstring(HandOverSwitch) +
                            Hex(original.get()) + L"," + Hex(writeEnd) + L"," +
                            Hex(copyFile.get()) + L" " + std::wstring(ArgumentsAfterProgram());
  const std::wstring folder = program.substr(0, program.find_last_of(L'\\') + 1);
  const UniqueHandle child =
      StartInheriting(program, line, folder, {copyFile.get(), original.get(), writeEnd}, 0);
  codeWriter.reset();  // so that the pipe breaks when the copy ends without a code

  int exitCode = 0;
  DWORD read = 0;
  if (ReadFile(codeReader.get(), &exitCode, sizeof exitCode, &read, nullptr) &&
      read == sizeof exitCode) {
    return exitCode;
  }
  // The copy ended without handing a code back: its own exit code says why.
  DWORD childCode = ERROR_INSTALL_FAILURE;
  WaitForSingleObject(child.get(), INFINITE);
  GetExitCodeProcess(child.get(), &childCode);
  return static_cast<int>(childCode);
}

std::optional<std::string> HandedOverFrom() {
  const std::optional<HandOver> handOver = HandOverHandles();
  if (!handOver) return std::nullopt;
  wchar_t image[MAX_PATH * 4];
  DWORD length = MAX_PATH * 4;
  if (!QueryFullProcessImageNameW(handOver->Original, 0, image, &length)) {
    ThrowLastError("QueryFullProcessImageNameW", "uninstaller");
  }
  return Narrow(image);
}

void HandBack(int exitCode) {
  const HandOver handOver = *HandOverHandles();
  DWORD written = 0;
  WriteFile(handOver.CodePipe, &exitCode, sizeof exitCode, &written, nullptr);
  CloseHandle(handOver.CodePipe);
  // The uninstaller ends as soon as it has the code.
  WaitForSingleObject(handOver.Original, 30000);
}

void PassOnOwnDeletion() {
  const HandOver handOver = *HandOverHandles();
  wchar_t system[MAX_PATH];
  const UINT length = GetSystemDirectoryW(system, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) ThrowLastError("GetSystemDirectoryW", "system folder");
  // Three echoes a second apart on the loopback outlast the copy's end by two seconds, and every
  // Windows has the program. Not its window: a console program started with none.
  const std::wstring ping = std::wstring(system) + L"\\PING.EXE";
  StartInheriting(ping, L"PING.EXE -n 3 127.0.0.1", system, {handOver.OwnFile}, CREATE_NO_WINDOW);
}

}  // namespace quenwick
