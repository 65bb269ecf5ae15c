// The messages in the user's language.
#include "setup/messages.h"

#include <cstddef>
#include <utility>

#include "setup/setup_platform.h"

namespace quenwick {

std::string Say(const Texts& message, const std::string& first, const std::string& second) {
  std::string text = UserSpeaksPolish() ? message.Polish : message.English;
  for (const auto& [insert, value] : {std::pair{"%1", &first}, std::pair{"%2", &second}}) {
    const std::size_t at = text.find(insert);
    if (at != std::string::npos) text.replace(at, 2, *value);
  }
  return text;
}

std::string DialogTitle(bool uninstall) {
  return Say(uninstall ? Text::UninstallTitle : Text::SetupTitle);
}

}  // namespace quenwick
