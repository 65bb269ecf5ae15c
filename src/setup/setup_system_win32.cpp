// The user's registry, the Startup shortcut, processes and the lock on Windows.
#include <windows.h>
// These headers need windows.h before them.
#include <shlobj.h>
#include <tlhelp32.h>

#include <cstdio>
#include <memory>

#include "platform/error_win32.h"
#include "platform/lock_wait_win32.h"
#include "platform/platform.h"
#include "platform/system_dll_win32.h"
#include "platform/text_win32.h"
#include "platform/unique_handle_win32.h"
#include "setup/hold_wait_win32.h"
#include "setup/setup_platform.h"

namespace quenwick {
namespace {

struct KeyCloser {
  void operator()(HKEY key) const noexcept { QUENWICK_ADVAPI32(RegCloseKey)(key); }
};
using UniqueKey = std::unique_ptr<std::remove_pointer_t<HKEY>, KeyCloser>;

void CheckRegistry(LSTATUS status, const char* call, const std::string& key) {
  if (status != ERROR_SUCCESS) ThrowWin32Error(static_cast<DWORD>(status), call, key);
}

// The key opened with access, or null when there is none.
UniqueKey OpenKey(const std::string& key, REGSAM access) {
  HKEY opened = nullptr;
  const LSTATUS status =
      QUENWICK_ADVAPI32(RegOpenKeyExW)(HKEY_CURRENT_USER, Widen(key).c_str(), 0, access, &opened);
  if (status == ERROR_FILE_NOT_FOUND) return nullptr;
  CheckRegistry(status, "RegOpenKeyExW", key);
  return UniqueKey(opened);
}

void CheckCom(HRESULT result, const char* call, const std::string& subject) {
  if (FAILED(result)) ThrowWin32Error(static_cast<DWORD>(result), call, subject);
}

ComPointer<IShellLinkW> NewShellLink() {
  IShellLinkW* link = nullptr;
  CheckCom(QUENWICK_OLE32(CoCreateInstance)(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER,
                                            IID_PPV_ARGS(&link)),
           "CoCreateInstance", "ShellLink");
  return ComPointer<IShellLinkW>(link);
}

ComPointer<IPersistFile> FileOf(IShellLinkW& link, const std::string& shortcut) {
  IPersistFile* file = nullptr;
  CheckCom(link.QueryInterface(IID_PPV_ARGS(&file)), "QueryInterface", shortcut);
  return ComPointer<IPersistFile>(file);
}

// The lock, while this process holds it.
UniqueHandle Lock;

std::wstring ModulePath(HMODULE module) {
  return FilledBuffer<wchar_t>(MAX_PATH, [module](wchar_t* text, std::size_t size) {
    return GetModuleFileNameW(module, text, static_cast<DWORD>(size));
  });
}

}  // namespace

std::optional<RegistryValues> ReadRegistryKey(const std::string& key) {
  const UniqueKey opened = OpenKey(key, KEY_QUERY_VALUE);
  if (!opened) return std::nullopt;
  RegistryValues values;
  for (DWORD index = 0;; ++index) {
    wchar_t name[256];
    DWORD nameLength = 256;
    DWORD type = 0;
    DWORD size = 0;
    LSTATUS status = QUENWICK_ADVAPI32(RegEnumValueW)(opened.get(), index, name, &nameLength,
                                                      nullptr, &type, nullptr, &size);
    if (status == ERROR_NO_MORE_ITEMS) return values;
    CheckRegistry(status, "RegEnumValueW", key);
    std::wstring data(size / sizeof(wchar_t) + 1, L'\0');
    nameLength = 256;
    status = QUENWICK_ADVAPI32(RegEnumValueW)(opened.get(), index, name, &nameLength, nullptr,
                                              &type, reinterpret_cast<BYTE*>(data.data()), &size);
    CheckRegistry(status, "RegEnumValueW", key);
    // Values of other types, which the setup program never writes, are left as they are.
    if (type == REG_DWORD && size == sizeof(DWORD)) {
      values[Narrow(name)] = static_cast<std::uint32_t>(*reinterpret_cast<DWORD*>(data.data()));
    } else if (type == REG_SZ) {
      data.resize(size / sizeof(wchar_t));
      while (!data.empty() && data.back() == L'\0') data.pop_back();
      values[Narrow(name)] = Narrow(data);
    }
  }
}

void WriteRegistryValue(const std::string& key, const std::string& name,
                        const RegistryValue& value) {
  HKEY created = nullptr;
  CheckRegistry(
      QUENWICK_ADVAPI32(RegCreateKeyExW)(HKEY_CURRENT_USER, Widen(key).c_str(), 0, nullptr, 0,
                                         KEY_SET_VALUE, nullptr, &created, nullptr),
      "RegCreateKeyExW", key);
  const UniqueKey opened(created);
  LSTATUS status;
  if (const auto* number = std::get_if<std::uint32_t>(&value)) {
    const DWORD data = *number;
    status = QUENWICK_ADVAPI32(RegSetValueExW)(opened.get(), Widen(name).c_str(), 0, REG_DWORD,
                                               reinterpret_cast<const BYTE*>(&data), sizeof data);
  } else {
    const std::wstring text = Widen(std::get<std::string>(value));
    status = QUENWICK_ADVAPI32(RegSetValueExW)(
        opened.get(), Widen(name).c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
        static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
  }
  CheckRegistry(status, "RegSetValueExW", key + "\\" + name);
}

void DeleteRegistryValue(const std::string& key, const std::string& name) {
  const UniqueKey opened = OpenKey(key, KEY_SET_VALUE);
  if (!opened) return;
  const LSTATUS status = QUENWICK_ADVAPI32(RegDeleteValueW)(opened.get(), Widen(name).c_str());
  if (status != ERROR_FILE_NOT_FOUND) CheckRegistry(status, "RegDeleteValueW", key + "\\" + name);
}

void DeleteRegistryKey(const std::string& key) {
  const LSTATUS status = QUENWICK_ADVAPI32(RegDeleteKeyW)(HKEY_CURRENT_USER, Widen(key).c_str());
  if (status != ERROR_FILE_NOT_FOUND) CheckRegistry(status, "RegDeleteKeyW", key);
}

void FlushRegistry() {
  CheckRegistry(QUENWICK_ADVAPI32(RegFlushKey)(HKEY_CURRENT_USER), "RegFlushKey",
                "HKEY_CURRENT_USER");
}

// Read by its item list: a path given to the shell link as text is one in which %NAME% is an
// environment variable, so that a folder named with "%OS%" in it would be started as "Windows_NT".
// Read so, a folder or a damaged file of the shortcut's name starts nothing.
std::string ShortcutTarget(const std::string& shortcut) {
  try {
    const ComPointer<IShellLinkW> link = NewShellLink();
    if (FAILED(FileOf(*link, shortcut)->Load(Widen(shortcut).c_str(), STGM_READ))) return "";
    PIDLIST_ABSOLUTE items = nullptr;
    if (link->GetIDList(&items) != S_OK) return "";
    wchar_t target[MAX_PATH];
    const bool found = QUENWICK_SHELL32(SHGetPathFromIDListW)(items, target);
    QUENWICK_OLE32(CoTaskMemFree)(items);
    return found ? Narrow(target) : "";
  } catch (const SystemCallError&) {
    return "";
  }
}

void MakeShortcut(const std::string& shortcut, const std::string& target) {
  // Made from the path alone, so the program need not be there yet.
  const std::unique_ptr<ITEMIDLIST, decltype(&ILFree)> items(
      QUENWICK_SHELL32(SHSimpleIDListFromPath)(Widen(target).c_str()), QUENWICK_SHELL32(ILFree));
  if (!items) ThrowWin32Error(ERROR_INVALID_PARAMETER, "SHSimpleIDListFromPath", target);
  const ComPointer<IShellLinkW> link = NewShellLink();
  CheckCom(link->SetIDList(items.get()), "IShellLinkW::SetIDList", target);
  CheckCom(FileOf(*link, shortcut)->Save(Widen(shortcut).c_str(), TRUE), "IPersistFile::Save",
           shortcut);
}

std::vector<std::string> RunningPrograms(const std::string& fileName) {
  const UniqueHandle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
  if (snapshot.get() == INVALID_HANDLE_VALUE) ThrowLastError("CreateToolhelp32Snapshot", fileName);
  const std::wstring name = Widen(fileName);
  std::vector<std::string> programs;
  PROCESSENTRY32W entry{};
  entry.dwSize = sizeof entry;
  for (BOOL more = Process32FirstW(snapshot.get(), &entry); more;
       more = Process32NextW(snapshot.get(), &entry)) {
    if (CompareStringOrdinal(entry.szExeFile, -1, name.c_str(), -1, TRUE) != CSTR_EQUAL) continue;
    // Another user's process cannot be opened, and runs no program of this user's folders.
    const UniqueHandle process(
        OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, entry.th32ProcessID));
    wchar_t image[MAX_PATH * 4];
    DWORD length = MAX_PATH * 4;
    if (process && QueryFullProcessImageNameW(process.get(), 0, image, &length)) {
      programs.push_back(Narrow(image));
    }
  }
  return programs;
}

bool ProcessIsRunning(std::uint32_t processId) {
  const UniqueHandle process(OpenProcess(SYNCHRONIZE, FALSE, processId));
  // A process that has ended and is no longer held open has no id any more; one that another
  // user runs cannot be opened, and counts as running.
  if (!process) return GetLastError() != ERROR_INVALID_PARAMETER;
  return WaitForSingleObject(process.get(), 0) == WAIT_TIMEOUT;
}

std::string OwnProgramPath() {
  const std::wstring path = ModulePath(nullptr);
  if (path.empty()) ThrowLastError("GetModuleFileNameW", "setup program");
  return Narrow(path);
}

std::uint32_t ProcessId() { return GetCurrentProcessId(); }

std::string CarriedResource(const std::string& name) {
  const HRSRC found = FindResourceW(nullptr, Widen(name).c_str(), MAKEINTRESOURCEW(10));  // RCDATA
  const HGLOBAL loaded = found ? LoadResource(nullptr, found) : nullptr;
  const void* bytes = loaded ? LockResource(loaded) : nullptr;
  if (bytes == nullptr) ThrowLastError("LoadResource", name);
  return std::string(static_cast<const char*>(bytes), SizeofResource(nullptr, found));
}

bool UserSpeaksPolish() { return PRIMARYLANGID(GetUserDefaultUILanguage()) == LANG_POLISH; }

void Pause(unsigned milliseconds) { Sleep(milliseconds); }

std::string LocalTime() {
  SYSTEMTIME now;
  GetLocalTime(&now);
  char text[32];
  std::snprintf(text, sizeof text, "%04u-%02u-%02u %02u:%02u:%02u.%03u", now.wYear, now.wMonth,
                now.wDay, now.wHour, now.wMinute, now.wSecond, now.wMilliseconds);
  return text;
}

bool TakeLock(const std::string& path) {
  const std::wstring wide = Widen(path);
  for (unsigned tries = 0;; ++tries) {
    // Held until it is let go or the process ends, however it ends: opened sharing nothing,
    // deleted on close.
    const HANDLE lock = CreateFileW(wide.c_str(), GENERIC_READ, 0, nullptr, OPEN_ALWAYS,
                                    FILE_FLAG_DELETE_ON_CLOSE | FILE_ATTRIBUTE_HIDDEN, nullptr);
    if (lock != INVALID_HANDLE_VALUE) {
      Lock.reset(lock);
      return true;
    }
    // Another holder may be ending: an uninstaller's copy lets go a moment after it has handed
    // its exit code back. A lock that stays held is another run; one refused to everyone is a
    // just-ended holder's file being deleted, for a moment too.
    const DWORD error = GetLastError();
    const bool held = error == ERROR_SHARING_VIOLATION;
    if (held || error == ERROR_ACCESS_DENIED) {
      if (PauseBeforeRetry(tries, held ? 2000 : HoldBudgetMs)) continue;
      if (held) return false;
    }
    ThrowWin32Error(error, "CreateFileW", path);
  }
}

void ReleaseLock() { Lock.reset(); }

void StartProgram(const std::string& path) {
  const std::wstring program = Widen(path);
  std::wstring line = L"\"" + program + L"\"";
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  if (!CreateProcessW(program.c_str(), line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                      &startup, &process)) {
    ThrowLastError("CreateProcessW", path);
  }
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
}

}  // namespace quenwick
