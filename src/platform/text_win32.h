// Text at the Win32 boundary: UTF-8 inside the program, UTF-16 or the ANSI code page at the calls.
// Every Win32 platform file converts through here.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>

namespace quenwick {

// Converts text in codePage to UTF-16. Throws on text that is not valid in that code page.
std::wstring ToUtf16(std::string_view text, UINT codePage);

// UTF-8 to UTF-16 and back. Both throw on invalid text.
std::wstring Widen(std::string_view utf8);
std::string Narrow(std::wstring_view wide);

}  // namespace quenwick
