// user32.dll on demand, from the system folder only. A pass that shows no box never loads it, nor
// gdi32 and the rest behind it, so the usual silent pass at logon stays a light process.
#pragma once

#include <windows.h>

namespace quenwick {

using MessageBoxWFunction = decltype(&::MessageBoxW);

// MessageBoxW of user32.dll in the system folder, loaded at the first call. Throws when the DLL or
// the function cannot be had.
MessageBoxWFunction SystemMessageBoxW();

}  // namespace quenwick
