// Everything the check run needs from the operating system, in Windows terms.
// Implemented for Win32 and for POSIX (a Wine prefix standing in for Windows); tests link a double.
#pragma once

#include <cstddef>
#include <cstdint>
#include <exception>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>

namespace quenwick {

// A system call that failed, as the platform operations throw it. Call names the call and what it
// worked on (Subject), as in "MoveFileExW(C:\app\data.dat)"; code() is the system's error, whose
// message() is the system's own reason. what() gives both, as "call(subject): reason".
struct SystemCallError : std::system_error {
  SystemCallError(std::error_code error, const char* call, const std::string& subject)
      : SystemCallError(error, std::string(call) + "(" + subject + ")", subject) {}
  std::string Call;
  std::string Subject;

 private:
  SystemCallError(std::error_code error, const std::string& named, const std::string& subject)
      : std::system_error(error, named), Call(named), Subject(subject) {}
};

// What a system call that fills a buffer gives, asked with more room until it fits: call(buffer,
// size) returns the length written when it fits, or, when it does not, the size it needs or any
// length of at least size (as calls that only say that they cut the text short do). A failed call
// is the caller's to tell, by an empty result or by throwing from call.
template <typename Char, typename Call>
std::basic_string<Char> FilledBuffer(std::size_t firstSize, Call call) {
  std::basic_string<Char> buffer(firstSize, Char{});
  for (;;) {
    const std::size_t length = call(buffer.data(), buffer.size());
    if (length < buffer.size()) {
      buffer.resize(length);
      return buffer;
    }
    buffer.resize(length > buffer.size() ? length : buffer.size() * 2);
  }
}

// Message-box styles and answers, with their Windows values (MB_*, ID*).
inline constexpr unsigned ButtonsOk = 0x00;
inline constexpr unsigned ButtonsYesNo = 0x04;
inline constexpr unsigned ButtonsMask = 0x0F;
inline constexpr unsigned IconExclamation = 0x30;
inline constexpr unsigned IconInformation = 0x40;
inline constexpr int AnswerOk = 1;
inline constexpr int AnswerYes = 6;
inline constexpr int AnswerNo = 7;

// The window mode that shows a started program normally and gives it focus (SW_SHOWNORMAL).
inline constexpr int ShowNormal = 1;

// Writes the Windows directory into buffer in the system's ANSI code page and returns its length
// in bytes; returns the size needed, terminating NUL included, when size is too small, and 0 on
// failure. Never throws.
std::uint32_t GetWindowsDirectoryA(char* buffer, std::uint32_t size);

// Converts text in the system's ANSI code page to UTF-8.
std::string AnsiToUtf8(std::string_view ansiText);

// The directory that holds the running executable, without a trailing separator except at a root.
std::string ProgramDirectory();

// Shows a modal box captioned "Quenwick" and returns the user's answer.
int ShowMessage(const std::string& text, unsigned style);

// Starts the program named by the first word of commandLine, passing it the rest, and returns
// without waiting for it. Throws when the program cannot be started.
void LaunchProgram(const std::string& commandLine, int windowMode);

// The length of the regular file at path, or nothing when there is none: no file, a folder, a
// device or a pipe. Taken without reading the file, so that another program's hold on it or a lack
// of read permission does not hide it. Never blocks, and never throws for a file failure.
std::optional<std::uint64_t> FileLength(const std::string& path);

// Up to maxBytes from the start of the regular file at path, read at once, or nothing when it
// cannot be opened or read.
std::optional<std::string> ReadFileHead(const std::string& path, std::size_t maxBytes);

// Replaces the file at path with contents in one step, so that readers see either the old file
// or the whole new one. Throws on failure, leaving the old file as it was.
void WriteFileAtomically(const std::string& path, std::string_view contents);

// Ends the program with exitStatus.
[[noreturn]] void EndProgram(int exitStatus);

// Shows the user what Quenwick could not do (sentence), then the system's reason and the technical
// detail of cause (the call, its subject and the error number), and ends the program with status 1.
[[noreturn]] void ReportFatalError(const std::string& sentence, const std::exception& cause);

}  // namespace quenwick
