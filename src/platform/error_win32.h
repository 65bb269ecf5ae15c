// Failed Win32 calls as exceptions that name the call and what it worked on, with the Win32 error
// as the reason, described in the user's language.
#pragma once

#include <windows.h>

#include <string>
#include <system_error>

#include "platform/platform.h"

namespace quenwick {

// Win32 error codes, described by FormatMessageW in the user's language and given in UTF-8. The
// runtime's own system_category() describes them in the ANSI code page.
const std::error_category& Win32Category();

// The system's reason for failure, with the call's subject in place of each insert that some of
// the system's texts hold ("%1 is not a valid Win32 application.").
std::string SystemReason(const SystemCallError& failure);

[[noreturn]] void ThrowWin32Error(DWORD error, const char* call, const std::string& subject);

// Throws GetLastError() for the call that has just failed.
[[noreturn]] void ThrowLastError(const char* call, const std::string& subject);

}  // namespace quenwick
