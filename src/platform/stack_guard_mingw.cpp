// The stack protector's guard and failure handlers for quenwick.exe built with MinGW-w64, in place
// of GCC's libssp: its guard is seeded through CryptGenRandom, which loads advapi32, rsaenh,
// crypt32, user32 and gdi32 into every process, on the pass that usually shows nothing.
#include <windows.h>

#include <cstdint>

namespace {

// What __fastfail does: ends the process at once, with no handler run in a process whose stack
// is no longer to be trusted, and leaves the reason for Windows Error Reporting.
[[noreturn]] void FailFast(unsigned int code) {
  asm volatile("int $0x29" : : "c"(code));
  __builtin_unreachable();
}

}  // namespace

extern "C" {

// The value that every protected function places below its locals and checks before it returns.
// It starts out as a constant, for whatever runs before the seeding below.
std::uintptr_t __stack_chk_guard = 0x2b992ddfa232;

// The protected functions' checks fail here.
[[noreturn]] void __stack_chk_fail() { FailFast(FAST_FAIL_STACK_COOKIE_CHECK_FAILURE); }

// _FORTIFY_SOURCE's checked copies fail here, when a write would run past its buffer.
[[noreturn]] void __chk_fail() { FailFast(FAST_FAIL_RANGE_CHECK_FAILURE); }

}  // extern "C"

extern "C" IMAGE_DOS_HEADER __ImageBase;  // where the linker placed the image

namespace {

// Seeds the guard before any other constructor, the way Microsoft's C runtime seeds its /GS
// cookie: the clock, the process and thread ids, the performance counter and two addresses that
// ASLR places at random (the stack and the image), all from KERNEL32, which every process has
// loaded anyway. A function that is running while the guard changes would fail its check, so this
// one is not protected itself, and below it on the stack is only the C runtime's start-up code,
// which is not protected either.
[[gnu::constructor(101), gnu::no_stack_protector]] void SeedStackGuard() {
  FILETIME now;
  GetSystemTimeAsFileTime(&now);
  LARGE_INTEGER counter;
  QueryPerformanceCounter(&counter);
  std::uintptr_t seed = (std::uintptr_t{now.dwHighDateTime} << 32) ^ now.dwLowDateTime;
  seed ^= GetCurrentProcessId() ^ (std::uintptr_t{GetCurrentThreadId()} << 32);
  seed ^= (GetTickCount64() << 56) ^ GetTickCount64();
  seed ^= static_cast<std::uintptr_t>(counter.QuadPart) ^ (std::uintptr_t{counter.LowPart} << 32);
  seed ^= reinterpret_cast<std::uintptr_t>(&seed) ^ reinterpret_cast<std::uintptr_t>(&__ImageBase);
  if (seed != 0) __stack_chk_guard = seed;
}

}  // namespace
