// The text of the baseline file. A record is an optional minus sign and decimal digits whose value
// fits in 32 bits, ending in CR LF or LF; the fourth may also end the file. Anything else is
// damage.
#include "check/baseline_records.h"

#include <charconv>

namespace quenwick {

std::optional<SizeColumn> ParseBaselineRecords(std::string_view head) {
  // A head that fills the whole read may have been cut short, so its end is not the file's end.
  const bool wholeFile = head.size() < BaselineReadLimit;
  SizeColumn sizes;
  std::string_view rest = head;
  for (int index = FirstIndex; index <= LastIndex; ++index) {
    // from_chars takes no sign but a leading minus, no spaces, and nothing out of range.
    const auto [end, error] = std::from_chars(rest.data(), rest.data() + rest.size(), sizes[index]);
    if (error != std::errc{}) return std::nullopt;
    rest.remove_prefix(static_cast<std::size_t>(end - rest.data()));
    if (rest.starts_with("\r\n")) {
      rest.remove_prefix(2);
    } else if (rest.starts_with('\n')) {
      rest.remove_prefix(1);
    } else if (!(rest.empty() && wholeFile && index == LastIndex)) {
      return std::nullopt;
    }
  }
  return sizes;  // whatever follows the fourth record is never looked at
}

std::string FormatBaselineRecords(const SizeColumn& sizes) {
  std::string text;
  for (int index = FirstIndex; index <= LastIndex; ++index) {
    text += std::to_string(sizes[index]);
    text += "\r\n";
  }
  return text;
}

}  // namespace quenwick
