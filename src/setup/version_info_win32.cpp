// What a program's version information says: its version and its product's name.
#include <windows.h>

#include <cstdio>
#include <optional>
#include <string>

#include "platform/system_dll_win32.h"
#include "platform/text_win32.h"
#include "setup/setup_platform.h"

namespace quenwick {
namespace {

// The version information of a program, or nothing without one.
std::optional<std::string> VersionInformation(const std::string& path) {
  static const auto sizeOf =
      SystemFunction<decltype(&GetFileVersionInfoSizeW)>(L"version.dll", "GetFileVersionInfoSizeW");
  static const auto read =
      SystemFunction<decltype(&GetFileVersionInfoW)>(L"version.dll", "GetFileVersionInfoW");
  const std::wstring wide = Widen(path);
  const DWORD size = sizeOf(wide.c_str(), nullptr);
  std::string information(size, '\0');
  if (size == 0 || !read(wide.c_str(), 0, size, information.data())) return std::nullopt;
  return information;
}

// A value of the version information, or null.
void* VersionValue(std::string& information, const std::wstring& name) {
  static const auto query =
      SystemFunction<decltype(&VerQueryValueW)>(L"version.dll", "VerQueryValueW");
  void* value = nullptr;
  UINT length = 0;
  return query(information.data(), name.c_str(), &value, &length) && length > 0 ? value : nullptr;
}

}  // namespace

std::string ProgramVersion(const std::string& path) {
  std::optional<std::string> information = VersionInformation(path);
  const auto* fixed =
      information ? static_cast<VS_FIXEDFILEINFO*>(VersionValue(*information, L"\\")) : nullptr;
  if (fixed == nullptr) return "";
  return std::to_string(HIWORD(fixed->dwFileVersionMS)) + "." +
         std::to_string(LOWORD(fixed->dwFileVersionMS)) + "." +
         std::to_string(HIWORD(fixed->dwFileVersionLS));
}

std::string ProductName(const std::string& path) {
  std::optional<std::string> information = VersionInformation(path);
  // The strings are in the table of the first language and code page that the information lists.
  const auto* translation =
      information ? static_cast<WORD*>(VersionValue(*information, L"\\VarFileInfo\\Translation"))
                  : nullptr;
  if (translation == nullptr) return "";
  wchar_t name[64];
  std::swprintf(name, 64, L"\\StringFileInfo\\%04x%04x\\ProductName", translation[0],
                translation[1]);
  const auto* product = static_cast<const wchar_t*>(VersionValue(*information, name));
  return product ? Narrow(product) : "";
}

}  // namespace quenwick
