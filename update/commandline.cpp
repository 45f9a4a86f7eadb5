#include "update/commandline.h"

namespace {

bool isseparator(char c) { return c == ' ' || c == '\t' || c == '\n'; }

// Characters that stay special inside double quotes.
bool escapableinquotes(char c) { return c == '$' || c == '`' || c == '"' || c == '\\' || c == '\n'; }

bool isplain(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
         std::string_view("_@%+=:,./-").find(c) != std::string_view::npos;
}

}  // namespace

std::optional<std::vector<std::string>> splitcommandline(std::string_view line) {
  std::vector<std::string> words;
  std::string word;
  bool inword = false;  // a word has begun, possibly still empty ("")
  std::size_t i = 0;
  const std::size_t n = line.size();
  while (i < n) {
    const char c = line[i];
    if (isseparator(c)) {
      if (inword) words.push_back(std::move(word));
      word.clear();
      inword = false;
      ++i;
    } else if (c == '\\') {
      if (i + 1 < n) {
        if (line[i + 1] != '\n') {
          word += line[i + 1];
          inword = true;
        }
        i += 2;
      } else {
        word += c;  // a backslash at the very end stands for itself
        inword = true;
        ++i;
      }
    } else if (c == '\'') {
      const std::size_t close = line.find('\'', i + 1);
      if (close == std::string_view::npos) return std::nullopt;
      word.append(line.substr(i + 1, close - i - 1));
      inword = true;
      i = close + 1;
    } else if (c == '"') {
      inword = true;
      ++i;
      for (;;) {
        if (i >= n) return std::nullopt;
        const char q = line[i];
        if (q == '"') {
          ++i;
          break;
        }
        if (q == '\\' && i + 1 < n && escapableinquotes(line[i + 1])) {
          if (line[i + 1] != '\n') word += line[i + 1];
          i += 2;
        } else {
          word += q;
          ++i;
        }
      }
    } else {
      word += c;
      inword = true;
      ++i;
    }
  }
  if (inword) words.push_back(std::move(word));
  return words;
}

std::string shellquote(std::string_view word) {
  bool plain = !word.empty();
  for (char c : word) plain = plain && isplain(c);
  if (plain) return std::string(word);
  std::string quoted = "\"";
  for (char c : word) {
    if (c == '$' || c == '`' || c == '"' || c == '\\') quoted += '\\';
    quoted += c;
  }
  quoted += '"';
  return quoted;
}
