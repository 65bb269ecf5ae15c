// The platform operations on POSIX, where a Wine prefix stands in for the Windows system: its
// drive C: holds the Windows directory, boxes are questions on the terminal, viewers run in Wine.
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <initializer_list>
#include <iostream>
#include <memory>
#include <string>
#include <system_error>
#include <vector>

#include "platform/platform.h"

extern char** environ;

namespace quenwick {
namespace {

constexpr std::string_view WindowsDirectory = "C:\\windows";

// Names the failed call and what it was working on, with the errno value as the reason.
SystemCallError SystemError(int error, const char* call, const std::string& subject) {
  return SystemCallError(std::error_code(error, std::generic_category()), call, subject);
}

bool IsAsciiLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

std::string WinePrefix() {
  const char* prefix = std::getenv("WINEPREFIX");
  if (prefix != nullptr && *prefix != '\0') return prefix;
  const char* home = std::getenv("HOME");
  return std::string(home != nullptr ? home : "") + "/.wine";
}

// Every file access passes through here. A drive path "X:\rest" lies under the prefix's
// dosdevices/x: link, as Wine lays drives out; any other path only changes its separators.
std::string HostPath(std::string_view windowsPath) {
  std::string hostPath;
  if (windowsPath.size() >= 3 && IsAsciiLetter(windowsPath[0]) && windowsPath[1] == ':' &&
      windowsPath[2] == '\\') {
    const char drive = static_cast<char>(windowsPath[0] | 0x20);  // ASCII lower case
    hostPath = WinePrefix() + "/dosdevices/" + drive + ":/";
    windowsPath.remove_prefix(3);
  }
  for (const char c : windowsPath) hostPath += c == '\\' ? '/' : c;
  return hostPath;
}

// Opens a regular file for reading, or gives -1. O_NONBLOCK keeps the open of a FIFO without a
// writer from waiting; such a file, a directory or a device is then turned away as not regular.
int OpenRegularFile(const std::string& windowsPath) {
  const int file =
      open(HostPath(windowsPath).c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  if (file < 0) return -1;
  struct stat status;
  if (fstat(file, &status) != 0 || !S_ISREG(status.st_mode)) {
    close(file);
    return -1;
  }
  return file;
}

// Writes all of contents to file, giving 0 or an errno value.
int WriteAll(int file, std::string_view contents) {
  while (!contents.empty()) {
    const ssize_t count = write(file, contents.data(), contents.size());
    if (count < 0 && errno != EINTR) return errno;
    if (count > 0) contents.remove_prefix(static_cast<std::size_t>(count));
  }
  return 0;
}

// Writes contents to a new file at hostPath and flushes it to disk.
void WriteNewFile(const std::string& hostPath, std::string_view contents) {
  const int file =
      open(hostPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0666);
  if (file < 0) throw SystemError(errno, "open", hostPath);
  const char* call = "write";
  int error = WriteAll(file, contents);
  if (error == 0 && fsync(file) != 0) {
    error = errno;
    call = "fsync";
  }
  if (close(file) != 0 && error == 0) {
    error = errno;
    call = "close";
  }
  if (error != 0) throw SystemError(error, call, hostPath);
}

bool EndsWithExe(std::string_view program) {
  if (program.size() < 4) return false;
  std::string extension(program.substr(program.size() - 4));
  for (char& c : extension) c = static_cast<char>(c | 0x20);  // ASCII lower case
  return extension == ".exe";
}

// Throws the error that a posix_spawn call gave, naming the call, unless it is 0.
void CheckSpawnCall(int error, const char* call, const std::string& subject) {
  if (error != 0) throw SystemError(error, call, subject);
}

// Starts argv detached: in a session of its own, its standard streams on /dev/null so that Wine's
// chatter stays off the checker's terminal, and SIGCHLD back at its default, since ignored signals
// stay ignored across exec. Throws naming the call that failed, with subject.
void SpawnDetached(char* const argv[], const std::string& subject) {
  posix_spawn_file_actions_t actions;
  CheckSpawnCall(posix_spawn_file_actions_init(&actions), "posix_spawn_file_actions_init", subject);
  const std::unique_ptr<posix_spawn_file_actions_t, int (*)(posix_spawn_file_actions_t*)>
      actionsDestroyed(&actions, posix_spawn_file_actions_destroy);
  posix_spawnattr_t attributes;
  CheckSpawnCall(posix_spawnattr_init(&attributes), "posix_spawnattr_init", subject);
  const std::unique_ptr<posix_spawnattr_t, int (*)(posix_spawnattr_t*)> attributesDestroyed(
      &attributes, posix_spawnattr_destroy);
  for (const int stream : {STDIN_FILENO, STDOUT_FILENO, STDERR_FILENO}) {
    const int mode = stream == STDIN_FILENO ? O_RDONLY : O_WRONLY;
    CheckSpawnCall(posix_spawn_file_actions_addopen(&actions, stream, "/dev/null", mode, 0),
                   "posix_spawn_file_actions_addopen", subject);
  }
  sigset_t defaults;
  sigemptyset(&defaults);
  sigaddset(&defaults, SIGCHLD);
  CheckSpawnCall(posix_spawnattr_setsigdefault(&attributes, &defaults),
                 "posix_spawnattr_setsigdefault", subject);
  CheckSpawnCall(posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSID | POSIX_SPAWN_SETSIGDEF),
                 "posix_spawnattr_setflags", subject);
  pid_t child = 0;
  CheckSpawnCall(posix_spawnp(&child, argv[0], &actions, &attributes, argv, environ),
                 "posix_spawnp", subject);
}

}  // namespace

std::uint32_t GetWindowsDirectoryA(char* buffer, std::uint32_t size) {
  struct stat status;
  const std::string driveC = WinePrefix() + "/dosdevices/c:";
  if (stat(driveC.c_str(), &status) != 0 || !S_ISDIR(status.st_mode)) return 0;
  const auto length = static_cast<std::uint32_t>(WindowsDirectory.size());
  if (size <= length) return length + 1;
  WindowsDirectory.copy(buffer, length);
  buffer[length] = '\0';
  return length;
}

// The host's text is UTF-8 already, so the ANSI code page of the stand-in Windows is UTF-8 too.
std::string AnsiToUtf8(std::string_view ansiText) { return std::string(ansiText); }

std::string ProgramDirectory() {
  // A link cut short to the buffer's size is told only by its length.
  std::string path = FilledBuffer<char>(256, [](char* text, std::size_t size) {
    const ssize_t length = readlink("/proc/self/exe", text, size);
    if (length < 0) throw SystemError(errno, "readlink", "/proc/self/exe");
    return static_cast<std::size_t>(length);
  });
  const std::size_t separator = path.rfind('/');
  path.resize(separator == 0 ? 1 : separator);
  return path;
}

int ShowMessage(const std::string& text, unsigned style) {
  const bool yesNo = (style & ButtonsMask) == ButtonsYesNo;
  std::cout << "Quenwick: " << text << (yesNo ? " [T/n] " : " [OK] ") << std::flush;
  std::string line;
  if (!std::getline(std::cin, line)) {
    // Without an answer nothing is opened: an OK box is acknowledged and a question declined.
    std::cout << '\n';
    return yesNo ? AnswerNo : AnswerOk;
  }
  if (!yesNo) return AnswerOk;
  // Enter takes the default button, Yes; "t" is the Polish "tak".
  const bool yes =
      line.empty() || std::string_view("tTyY").find(line.front()) != std::string_view::npos;
  return yes ? AnswerYes : AnswerNo;
}

void LaunchProgram(const std::string& commandLine, int /*windowMode*/) {
  // The program, then the rest of the line as one argument, so a path with spaces stays whole.
  const std::size_t space = commandLine.find(' ');
  std::vector<std::string> arguments;
  const std::string program = commandLine.substr(0, space);
  if (EndsWithExe(program)) arguments.emplace_back("wine");
  arguments.push_back(program);
  if (space != std::string::npos) arguments.push_back(commandLine.substr(space + 1));

  std::vector<char*> argv;
  std::string description;
  for (std::string& argument : arguments) {
    argv.push_back(argument.data());
    if (!description.empty()) description += ' ';
    description += argument;
  }
  argv.push_back(nullptr);

  // The viewer is never waited for, so the system reaps it instead of leaving a zombie behind
  // while later boxes wait.
  signal(SIGCHLD, SIG_IGN);
  SpawnDetached(argv.data(), description);
}

std::optional<std::uint64_t> FileLength(const std::string& path) {
  // The file's entry alone, never the file opened: its length needs no read permission, and a FIFO
  // or a device is turned away by its type before anything could wait on it.
  struct stat status;
  if (stat(HostPath(path).c_str(), &status) != 0 || !S_ISREG(status.st_mode)) return std::nullopt;
  return static_cast<std::uint64_t>(status.st_size);
}

std::optional<std::string> ReadFileHead(const std::string& path, std::size_t maxBytes) {
  const int file = OpenRegularFile(path);
  if (file < 0) return std::nullopt;
  // One read: a regular file gives all that is asked for, or all that there is.
  std::string head(maxBytes, '\0');
  ssize_t count = 0;
  do {
    count = read(file, head.data(), maxBytes);
  } while (count < 0 && errno == EINTR);
  close(file);
  if (count < 0) return std::nullopt;
  head.resize(static_cast<std::size_t>(count));
  return head;
}

void WriteFileAtomically(const std::string& path, std::string_view contents) {
  const std::string target = HostPath(path);
  // Named after this process, so two checkers running at once never share a temporary file.
  const std::string temporary = target + "." + std::to_string(getpid()) + ".tmp";
  try {
    WriteNewFile(temporary, contents);
    if (rename(temporary.c_str(), target.c_str()) != 0) throw SystemError(errno, "rename", target);
  } catch (...) {
    // The old file stays as it was; only the unfinished temporary file goes.
    unlink(temporary.c_str());
    throw;
  }
}

void EndProgram(int exitStatus) { std::exit(exitStatus); }

void ReportFatalError(const std::string& sentence, const std::exception& cause) {
  std::cout.flush();
  // The sentence for the user first, then the technical line: the call, its subject and the reason.
  std::cerr << "Quenwick: " << sentence << "\nQuenwick: " << cause.what() << std::endl;
  std::exit(1);
}

}  // namespace quenwick
