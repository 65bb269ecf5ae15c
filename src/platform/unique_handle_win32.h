// Owners of what Win32 and COM hand out: a handle closed, or a COM object released, when its owner
// goes, however the scope is left.
#pragma once

#include <windows.h>

#include <memory>

namespace quenwick {

struct HandleCloser {
  void operator()(HANDLE handle) const noexcept { CloseHandle(handle); }
};
using UniqueHandle = std::unique_ptr<void, HandleCloser>;

template <typename Interface>
struct ComReleaser {
  void operator()(Interface* object) const noexcept { object->Release(); }
};
template <typename Interface>
using ComPointer = std::unique_ptr<Interface, ComReleaser<Interface>>;

}  // namespace quenwick
