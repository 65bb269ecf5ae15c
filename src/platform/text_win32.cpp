// Text at the Win32 boundary: UTF-8 inside the program, UTF-16 or the ANSI code page at the calls.
// Invalid text is refused rather than silently replaced, so a path is never quietly altered.
#include "platform/text_win32.h"

#include <cstddef>

#include "platform/error_win32.h"

namespace quenwick {

std::wstring ToUtf16(std::string_view text, UINT codePage) {
  if (text.empty()) return {};
  const int textLength = static_cast<int>(text.size());
  const int length =
      MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, text.data(), textLength, nullptr, 0);
  if (length == 0) ThrowLastError("MultiByteToWideChar", "text");
  std::wstring wide(static_cast<std::size_t>(length), L'\0');
  MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, text.data(), textLength, wide.data(), length);
  return wide;
}

std::wstring Widen(std::string_view utf8) { return ToUtf16(utf8, CP_UTF8); }

std::string Narrow(std::wstring_view wide) {
  if (wide.empty()) return {};
  const int wideLength = static_cast<int>(wide.size());
  const int length = WideCharToMultiByte(CP_UTF8, WC_ERR_INVALID_CHARS, wide.data(), wideLength,
                                         nullptr, 0, nullptr, nullptr);
  if (length == 0) ThrowLastError("WideCharToMultiByte", "text");
  std::string utf8(static_cast<std::size_t>(length), '\0');
  WideCharToMultiByte(CP_UTF8, WC_ERR_INVALID_CHARS, wide.data(), wideLength, utf8.data(), length,
                      nullptr, nullptr);
  return utf8;
}

}  // namespace quenwick
