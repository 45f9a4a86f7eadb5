#include "protocol/relaymessage.h"

std::string_view calltext(std::string_view text) { return text.substr(0, text.find('\0')); }

std::string callmessage(std::string_view fn, std::string_view data) {
  fn = calltext(fn);
  data = calltext(data);
  std::string message;
  message.reserve(fn.size() + 1 + data.size());
  message.append(fn).append(1, '|').append(data);
  return message;
}

relaycall splitmessage(std::string &message) {
  const auto bar = message.find('|');
  if (bar == std::string::npos) return {message, std::string_view("")};
  message[bar] = '\0';
  const std::string_view whole(message);
  return {whole.substr(0, bar), whole.substr(bar + 1)};
}
