// Feeds arbitrary text to the two parsers of script-written key text: the
// sendstring expansion and the hotkey text. A violated expectation aborts.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <map>
#include <string>
#include <string_view>

#include "automation/inputplan.h"
#include "automation/keytables.h"

namespace {
void require(bool condition) {
  if (!condition) std::abort();
}

bool isknownkey(int code) {
  for (const namedconstant &k : virtualkeys())
    if (k.value == code) return true;
  return false;
}

char upper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char *>(data), size);

  // Typing: at most a modifier down, key down, key up, modifier up per byte;
  // every key is released as often as it was pressed, nothing stays held, and
  // no key is pressed twice without a release between.
  const std::vector<keyevent> keys = expandsendstring(text);
  require(keys.size() <= 4 * size);
  std::map<int, int> held;
  for (const keyevent &k : keys) {
    require(isknownkey(k.virtualkey));
    int &n = held[k.virtualkey];
    n += k.down ? 1 : -1;
    require(n == 0 || n == 1);
  }
  for (const auto &[key, n] : held) require(n == 0);

  // A hotkey: each modifier character anywhere sets its flag, and the key is
  // the named one after as many leading bytes as there are such characters.
  if (const auto hotkey = parsehotkey(text)) {
    std::size_t count = 0;
    for (char c : text) count += c == '!' || c == '^' || c == '+' || c == '~';
    require(hotkey->alt == (text.find('!') != std::string_view::npos));
    require(hotkey->ctrl == (text.find('^') != std::string_view::npos));
    require(hotkey->shift == (text.find('+') != std::string_view::npos));
    require(hotkey->win == (text.find('~') != std::string_view::npos));
    std::string name(text.substr(count));
    for (char &c : name) c = upper(c);
    require(findvirtualkey(name) == hotkey->virtualkey);
    const std::vector<keyevent> releases = hotkeyreleases(*hotkey);
    require(releases.size() == 1u + hotkey->ctrl + hotkey->alt + hotkey->shift + 2u * hotkey->win);
    require(releases.front() == (keyevent{hotkey->virtualkey, false}));
    for (const keyevent &k : releases) require(!k.down);
    require((hotkey->modifiers() & ~0xfu) == 0);
  }
  return 0;
}
