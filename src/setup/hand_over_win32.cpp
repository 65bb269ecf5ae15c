// The command line, and the uninstaller's hand-over to a copy of itself in the temporary folder,
// as well-made uninstallers (and rustup's self uninstall) do it: the copy is opened to be deleted
// on close and its handle is inherited by the copy alone, so that Windows deletes it when the copy
// ends; the copy gives its exit code back through a pipe, then waits for the uninstaller to end
// and deletes it.
#include <windows.h>

#include <cwchar>
#include <memory>

#include "platform/error_win32.h"
#include "platform/platform.h"
#include "platform/text_win32.h"
#include "platform/unique_handle_win32.h"
#include "setup/setup_platform.h"

namespace quenwick {
namespace {

// The first argument of the copy: "/HandOver=<process>,<pipe>", the inherited handles of the
// uninstaller that started it and of the pipe that takes its exit code.
constexpr std::wstring_view HandOverSwitch = L"/HandOver=";

struct HandOver {
  HANDLE Original = nullptr;
  HANDLE CodePipe = nullptr;
};

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
  unsigned long long process = 0, pipe = 0;
  if (std::swscanf(std::wstring(arguments.substr(HandOverSwitch.size())).c_str(), L"%llx,%llx",
                   &process, &pipe) != 2) {
    return std::nullopt;
  }
  return HandOver{reinterpret_cast<HANDLE>(process), reinterpret_cast<HANDLE>(pipe)};
}

std::wstring Hex(HANDLE handle) {
  wchar_t text[20];
  std::swprintf(text, 20, L"%llx", reinterpret_cast<unsigned long long>(handle));
  return text;
}

}  // namespace

std::string CommandLineArguments() {
  std::wstring_view arguments = ArgumentsAfterProgram();
  if (HandOverHandles()) {
    arguments.remove_prefix(std::min(arguments.find_first_of(L" \t"), arguments.size()));
  }
  return Narrow(arguments);
}

int RunCopyAndWait() {
  const std::wstring own = Widen(OwnProgramPath());
  const std::wstring temporary = Widen(FolderPath(KnownFolder::Temp));
  const std::wstring copy =
      temporary + L"\\Quenwick-uninstall-" + std::to_wstring(GetCurrentProcessId()) + L".exe";
  if (!CopyFileW(own.c_str(), copy.c_str(), FALSE)) ThrowLastError("CopyFileW", Narrow(copy));
  SECURITY_ATTRIBUTES inheritable{sizeof inheritable, nullptr, TRUE};
  const HANDLE opened =
      CreateFileW(copy.c_str(), DELETE, FILE_SHARE_READ | FILE_SHARE_DELETE, &inheritable,
                  OPEN_EXISTING, FILE_FLAG_DELETE_ON_CLOSE, nullptr);
  if (opened == INVALID_HANDLE_VALUE) {
    const DWORD error = GetLastError();
    DeleteFileW(copy.c_str());
    ThrowWin32Error(error, "CreateFileW", Narrow(copy));
  }
  const UniqueHandle copyFile(opened);
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

  // The copy inherits these three handles and no other.
  HANDLE inherited[] = {copyFile.get(), original.get(), writeEnd};
  SIZE_T size = 0;
  InitializeProcThreadAttributeList(nullptr, 1, 0, &size);
  std::unique_ptr<char[]> buffer(new char[size]);
  const auto attributes = reinterpret_cast<LPPROC_THREAD_ATTRIBUTE_LIST>(buffer.get());
  if (!InitializeProcThreadAttributeList(attributes, 1, 0, &size) ||
      !UpdateProcThreadAttribute(attributes, 0, PROC_THREAD_ATTRIBUTE_HANDLE_LIST, inherited,
                                 sizeof inherited, nullptr, nullptr)) {
    ThrowLastError("UpdateProcThreadAttribute", "uninstaller");
  }
  STARTUPINFOEXW startup{};
  startup.StartupInfo.cb = sizeof startup;
  startup.lpAttributeList = attributes;
  std::wstring line = L"\"" + copy + L"\" " + std::wstring(HandOverSwitch) + Hex(original.get()) +
                      L"," + Hex(writeEnd) + L" " + std::wstring(ArgumentsAfterProgram());
  PROCESS_INFORMATION process{};
  const BOOL started = CreateProcessW(copy.c_str(), line.data(), nullptr, nullptr, TRUE,
                                      EXTENDED_STARTUPINFO_PRESENT, nullptr, temporary.c_str(),
                                      &startup.StartupInfo, &process);
  DeleteProcThreadAttributeList(attributes);
  if (!started) ThrowLastError("CreateProcessW", Narrow(copy));
  CloseHandle(process.hThread);
  const UniqueHandle child(process.hProcess);
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

}  // namespace quenwick
