// The text of the baseline file. A record is an optional minus sign and decimal digits whose value
// is a size (0 to 2147483647) or SizeUnknown, ending in CR LF or LF; the fourth may also end the
// file. Anything else is damage.
#include "check/baseline_records.h"

#include <charconv>
#include <system_error>

namespace quenwick {
namespace {

constexpr std::string_view Utf8ByteOrderMark = "\xEF\xBB\xBF";
constexpr std::string_view Utf16LeByteOrderMark = "\xFF\xFE";

// The records' text without its byte-order mark, in one byte a character; nothing for UTF-16 that
// holds anything but ASCII, which no record is.
std::optional<std::string> RecordText(std::string_view head) {
  if (head.starts_with(Utf8ByteOrderMark))
    return std::string(head.substr(Utf8ByteOrderMark.size()));
  if (!head.starts_with(Utf16LeByteOrderMark)) return std::string(head);
  head.remove_prefix(Utf16LeByteOrderMark.size());
  if (head.size() % 2 != 0) return std::nullopt;
  std::string text;
  for (std::size_t at = 0; at < head.size(); at += 2) {
    const auto low = static_cast<unsigned char>(head[at]);
    if (low > 0x7F || head[at + 1] != '\0') return std::nullopt;
    text += static_cast<char>(low);
  }
  return text;
}

}  // namespace

std::optional<SizeColumn> ParseBaselineRecords(std::string_view head) {
  // A head that fills the whole read may have been cut short, so its end is not the file's end.
  const bool wholeFile = head.size() < BaselineReadLimit;
  const std::optional<std::string> text = RecordText(head);
  if (!text) return std::nullopt;
  SizeColumn sizes;
  std::string_view rest = *text;
  for (int index = FirstIndex; index <= LastIndex; ++index) {
    // from_chars takes no sign but a leading minus, no spaces, and nothing out of range.
    const auto [end, error] = std::from_chars(rest.data(), rest.data() + rest.size(), sizes[index]);
    // No run writes a negative size but SizeUnknown, so any other is damage, not a file to warn of.
    if (error != std::errc{} || sizes[index] < SizeUnknown) return std::nullopt;
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
