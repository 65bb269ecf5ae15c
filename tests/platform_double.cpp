// The scripted system that the check run is tested against: the platform operations over the
// state in Platform, with no file, box or process of the real system touched.
#include "platform_double.h"

#include <algorithm>
#include <stdexcept>
#include <system_error>

#include "platform/platform.h"

namespace quenwick {

PlatformDouble Platform;

std::uint32_t GetWindowsDirectoryA(char* buffer, std::uint32_t size) {
  const auto length = static_cast<std::uint32_t>(Platform.WindowsDirectory.size());
  if (length >= size) return length + 1;
  Platform.WindowsDirectory.copy(buffer, length);
  buffer[length] = '\0';
  return length;
}

std::string AnsiToUtf8(std::string_view ansiText) {
  std::string text;
  for (const char c : ansiText) {
    const auto code = static_cast<unsigned char>(c);
    if (code < 0x80) {
      text += c;
    } else {
      text += static_cast<char>(0xC0 | (code >> 6));
      text += static_cast<char>(0x80 | (code & 0x3F));
    }
  }
  return text;
}

std::string ProgramDirectory() { return Platform.ProgramDirectoryPath; }

int ShowMessage(const std::string& text, unsigned style) {
  Platform.Calls.push_back("ShowMessage(" + std::to_string(style) + ") " + text);
  if (Platform.BoxFails) throw std::runtime_error("box refused");
  if (Platform.Answers.empty()) return (style & ButtonsMask) == ButtonsYesNo ? AnswerNo : AnswerOk;
  const int answer = Platform.Answers.front();
  Platform.Answers.pop_front();
  return answer;
}

void LaunchProgram(const std::string& commandLine, int windowMode) {
  Platform.Calls.push_back("LaunchProgram(" + std::to_string(windowMode) + ") " + commandLine);
  if (Platform.LaunchFails) {
    throw std::system_error(std::make_error_code(std::errc::no_such_file_or_directory),
                            "launch " + commandLine);
  }
}

std::optional<std::uint64_t> FileLength(const std::string& path) {
  if (const auto large = Platform.LargeFileLengths.find(path);
      large != Platform.LargeFileLengths.end()) {
    return large->second;
  }
  if (const auto file = Platform.Files.find(path); file != Platform.Files.end()) {
    return file->second.size();
  }
  return std::nullopt;
}

std::optional<std::string> ReadFileHead(const std::string& path, std::size_t maxBytes) {
  const auto file = Platform.Files.find(path);
  if (file == Platform.Files.end()) return std::nullopt;
  return file->second.substr(0, maxBytes);
}

void WriteFileAtomically(const std::string& path, std::string_view contents) {
  Platform.Calls.push_back("WriteFileAtomically(" + path + ")");
  if (Platform.WriteFails) {
    throw std::system_error(std::make_error_code(std::errc::permission_denied), "write " + path);
  }
  Platform.Files[path] = contents;
}

void EndProgram(int exitStatus) { throw ProgramEnded{exitStatus}; }

void ReportFatalError(const std::string& sentence, const std::exception& cause) {
  Platform.Calls.push_back("ReportFatalError(" + sentence + ")");
  Platform.FatalCause = cause.what();
  throw ProgramEnded{1};
}

}  // namespace quenwick
