// Failed Win32 calls as exceptions that name the call and what it worked on, with the Win32 error
// as the reason, described in the user's language.
#include "platform/error_win32.h"

#include <algorithm>
#include <cstddef>

#include "platform/platform.h"
#include "platform/text_win32.h"

namespace quenwick {
namespace {

class Win32ErrorCategory final : public std::error_category {
 public:
  const char* name() const noexcept override { return "win32"; }
  std::string message(int code) const override;
};

std::string Win32ErrorCategory::message(int code) const {
  wchar_t* buffer = nullptr;
  const DWORD length = FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, static_cast<DWORD>(code), 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
  if (length == 0) return "error " + std::to_string(code);
  std::wstring text(buffer, length);
  LocalFree(buffer);
  text.erase(text.find_last_not_of(L" \r\n") + 1);  // system texts end in a line break
  return Narrow(text);
}

}  // namespace

const std::error_category& Win32Category() {
  static const Win32ErrorCategory category;
  return category;
}

std::string SystemReason(const SystemCallError& failure) {
  const std::string text = failure.code().message();
  std::string reason;
  std::size_t at = 0;
  while (at < text.size()) {
    // An insert is "%" and a number from 1 to 99, with an optional printf format between "!"s.
    if (text[at] != '%' || at + 1 == text.size() || text[at + 1] < '1' || text[at + 1] > '9') {
      reason += text[at++];
      continue;
    }
    reason += failure.Subject;
    at = std::min(text.find_first_not_of("0123456789", at + 1), text.size());
    if (at < text.size() && text[at] == '!') {
      const std::size_t close = text.find('!', at + 1);
      at = close == std::string::npos ? text.size() : close + 1;
    }
  }
  return reason;
}

void ThrowWin32Error(DWORD error, const char* call, const std::string& subject) {
  throw SystemCallError(std::error_code(static_cast<int>(error), Win32Category()), call, subject);
}

void ThrowLastError(const char* call, const std::string& subject) {
  ThrowWin32Error(GetLastError(), call, subject);
}

}  // namespace quenwick
