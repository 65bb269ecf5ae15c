// The command line's words.
#include "setup/command_line.h"

#include "setup/folders.h"

namespace quenwick {
namespace {

constexpr std::string_view Blanks = " \t";

// The next word of rest, which ends at a blank outside quotes, without its quotes.
std::string NextWord(std::string_view& rest) {
  std::string word;
  bool quoted = false;
  for (; !rest.empty() && (quoted || Blanks.find(rest.front()) == std::string_view::npos);
       rest.remove_prefix(1)) {
    if (rest.front() == '"') {
      quoted = !quoted;
    } else {
      word += rest.front();
    }
  }
  return word;
}

bool Starts(std::string_view word, std::string_view prefix) {
  return EqualNoCase(word.substr(0, prefix.size()), prefix);
}

}  // namespace

CommandLine ReadCommandLine(std::string_view arguments) {
  CommandLine asked;
  const auto unknown = [&](std::string_view word) {
    if (asked.Unknown.empty()) asked.Unknown = word;
  };
  for (std::string_view rest = arguments;;) {
    rest.remove_prefix(std::min(rest.find_first_not_of(Blanks), rest.size()));
    if (rest.empty()) break;
    if (Starts(rest, "/D=")) {
      std::string folder(rest.substr(3));
      folder.erase(folder.find_last_not_of(Blanks) + 1);
      IsAbsolutePath(folder) ? void(asked.Folder = folder) : unknown("/D=" + folder);
      break;
    }
    const std::string word = NextWord(rest);
    if (EqualNoCase(word, "/S")) {
      asked.Silent = true;
    } else if (EqualNoCase(word, "/QuietFirstLogon")) {
      asked.QuietFirstLogon = true;
    } else if (EqualNoCase(word, "/Uninstall")) {
      asked.Uninstall = true;
    } else if (Starts(word, "/Log=") && IsAbsolutePath(word.substr(5))) {
      asked.LogPath = word.substr(5);
    } else {
      unknown(word);
    }
  }
  return asked;
}

}  // namespace quenwick
