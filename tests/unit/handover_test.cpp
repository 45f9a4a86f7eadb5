// threads
#include "app/handover.h"

#include <grp.h>
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <thread>

#include "app/cmdline.h"
#include "app/dialrelay.h"
#include "app/dialuri.h"
#include "app/rendering.h"
#include "app/sandbox.h"
#include "app/usage.h"
#include "common/unixsocket.h"

using namespace std::chrono_literals;

TEST(dialuri, links_of_the_three_schemes_give_their_number) {
  EXPECT_EQ(dialablenumber("tel:+15551234"), "+15551234");
  EXPECT_EQ(dialablenumber("TEL:0123"), "0123");
  EXPECT_EQ(dialablenumber("callto:+44 20 7946 0018"), "+442079460018");
  EXPECT_EQ(dialablenumber("callto://+442079460018"), "+442079460018");
  EXPECT_EQ(dialablenumber("sip:+15551234@pbx.example.com;user=phone"), "+15551234");
  EXPECT_EQ(dialablenumber("sips:200@pbx.example.com"), "200");
  EXPECT_EQ(dialablenumber("tel:*31#"), "*31#");
}

TEST(dialuri, escapes_are_decoded_and_separators_parameters_and_pauses_dropped) {
  EXPECT_EQ(dialablenumber("tel:+1%20555"), "+1555");
  EXPECT_EQ(dialablenumber("tel:%2B1-(555)-123.4567"), "+15551234567");
  EXPECT_EQ(dialablenumber("tel:+1-555-123-4567;ext=12"), "+15551234567");
  EXPECT_EQ(dialablenumber("tel:5551234,,99"), "5551234");
  EXPECT_EQ(dialablenumber("tel:*21%23"), "*21#");
  EXPECT_EQ(dialablenumber("  tel:123  "), "123");
}

TEST(dialuri, anything_but_a_whole_phone_number_is_refused) {
  EXPECT_EQ(dialablenumber("sip:alice@example.com"), std::nullopt);  // a name, not a number
  EXPECT_EQ(dialablenumber("tel:1-800-FLOWERS"), std::nullopt);      // letters would be lost
  EXPECT_EQ(dialablenumber("tel:12+34"), std::nullopt);              // '+' only in front
  EXPECT_EQ(dialablenumber("tel:"), std::nullopt);
  EXPECT_EQ(dialablenumber("tel:+"), std::nullopt);
  EXPECT_EQ(dialablenumber("tel:%zz12"), std::nullopt);               // a bad escape is no digit
  EXPECT_EQ(dialablenumber("tel:12%0a34"), std::nullopt);             // no line breaks into the page
  EXPECT_EQ(dialablenumber("mailto:123@example.com"), std::nullopt);  // not a dial link
  EXPECT_EQ(dialablenumber("telx:123"), std::nullopt);
  // 20 bytes are dialled whole; a longer number is refused, not cut.
  EXPECT_EQ(dialablenumber("tel:+1234567890123456789"), "+1234567890123456789");
  EXPECT_EQ(dialablenumber("tel:12345678901234567890"), "12345678901234567890");
  EXPECT_EQ(dialablenumber("tel:123456789012345678901"), std::nullopt);
  EXPECT_TRUE(isdialuri("Callto:x"));
  EXPECT_FALSE(isdialuri("--tel:1"));
  EXPECT_FALSE(isdialuri("tel"));
}

TEST(handover, lines_round_trip_and_odd_lines_are_refused) {
  const handoverrequest show{};
  const handoverrequest dial{handoverrequest::kind::dial, "+15551234", {}};
  const handoverrequest hotkey{handoverrequest::kind::hotkey, {}, "ctrl+shift+d"};
  EXPECT_EQ(handoverline(show), "show");
  EXPECT_EQ(handoverline(dial), "dial +15551234");
  EXPECT_EQ(parsehandoverline("show"), show);
  EXPECT_EQ(parsehandoverline("dial +15551234"), dial);
  EXPECT_EQ(parsehandoverline("dial "), std::nullopt);
  EXPECT_EQ(parsehandoverline("dial 12\"); alert(1); (\""), std::nullopt);
  EXPECT_EQ(parsehandoverline("dial 123456789012345678901"), std::nullopt);
  EXPECT_EQ(parsehandoverline("Show"), std::nullopt);
  EXPECT_EQ(parsehandoverline("105"), std::nullopt);
  // A hotkey name is one word of printable ASCII, of bounded length.
  EXPECT_EQ(handoverline(hotkey), "hotkey ctrl+shift+d");
  EXPECT_EQ(parsehandoverline("hotkey ctrl+shift+d"), hotkey);
  EXPECT_EQ(parsehandoverline("hotkey "), std::nullopt);
  EXPECT_EQ(parsehandoverline("hotkey a b"), std::nullopt);
  EXPECT_EQ(parsehandoverline("hotkey a\x1b[2J"), std::nullopt);
  EXPECT_EQ(parsehandoverline("hotkey caf\xc3\xa9"), std::nullopt);
  EXPECT_TRUE(ishotkeyname(std::string(maxhotkeyname, 'x')));
  EXPECT_FALSE(ishotkeyname(std::string(maxhotkeyname + 1, 'x')));
  EXPECT_EQ(parsecmdline({"prog", "--hotkey=ctrl+shift+d"}).hotkey, "ctrl+shift+d");
}

TEST(handover, the_socket_is_per_user_and_display) {
  EXPECT_EQ(commandsocketpath("/run/user/1000", 1000, ":0"), "/run/user/1000/orvalink-desktop-commands-1000-_0");
  EXPECT_EQ(commandsocketpath("/var/tmp/", 7, "localhost:10.0"), "/var/tmp/orvalink-desktop-commands-7-localhost_10.0");
  EXPECT_EQ(commandsocketpath("/tmp", 7, ""), "/tmp/orvalink-desktop-commands-7");
  EXPECT_EQ(commandsocketpath("/run/x", 7, "../../etc:1"), "/run/x/orvalink-desktop-commands-7-.._.._etc_1");
}

namespace {
// A listening socket in a private directory standing in for the running copy.
struct fakecopy {
  std::string dir, path;
  int fd = -1;
  fakecopy() {
    std::string pattern = std::filesystem::temp_directory_path().string() + "/orvahandover.XXXXXX";
    dir = ::mkdtemp(pattern.data());
    path = dir + "/socket";
    sockaddr_un a{};
    a.sun_family = AF_UNIX;
    std::strcpy(a.sun_path, path.c_str());
    fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    EXPECT_EQ(::bind(fd, reinterpret_cast<sockaddr *>(&a), sizeof a), 0);
    EXPECT_EQ(::listen(fd, 4), 0);
  }
  ~fakecopy() {
    if (fd >= 0) ::close(fd);
    std::filesystem::remove_all(dir);
  }
  // Accepts one client, reads its line and answers `answer` (nothing when
  // empty) after `delay`; returns the line read.
  std::string serveone(const std::string &answer, std::chrono::milliseconds delay = 0ms) {
    const int c = ::accept(fd, nullptr, nullptr);
    std::string line;
    char ch;
    while (::read(c, &ch, 1) == 1 && ch != '\n') line += ch;
    std::this_thread::sleep_for(delay);
    // The client may have given up and gone by now.
    if (!answer.empty()) ::send(c, answer.data(), answer.size(), MSG_NOSIGNAL);
    ::close(c);
    return line;
  }
};
}  // namespace

TEST(handover, the_client_tells_a_running_copy_from_none_and_from_one_that_does_not_answer) {
  fakecopy copy;
  std::string seen;
  std::thread server([&] { seen = copy.serveone("ok\n"); });
  EXPECT_EQ(sendtorunningcopy(copy.path, "dial +15551234", 2000ms), handoverresult::delivered);
  server.join();
  EXPECT_EQ(seen, "dial +15551234");

  server = std::thread([&] { copy.serveone("bad\n"); });
  EXPECT_EQ(sendtorunningcopy(copy.path, "show", 2000ms), handoverresult::refused);
  server.join();

  // Connected, but the copy closes without answering (it is ending), or
  // answers too late.
  server = std::thread([&] { copy.serveone(""); });
  EXPECT_EQ(sendtorunningcopy(copy.path, "show", 2000ms), handoverresult::gone);
  server.join();
  server = std::thread([&] { copy.serveone("ok\n", 600ms); });
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(sendtorunningcopy(copy.path, "show", 200ms), handoverresult::noanswer);
  EXPECT_LT(std::chrono::steady_clock::now() - start, 550ms);
  server.join();

  // A socket file whose copy has ended, and no socket file at all.
  ::close(copy.fd);
  copy.fd = -1;
  EXPECT_EQ(sendtorunningcopy(copy.path, "show", 2000ms), handoverresult::notrunning);
  EXPECT_EQ(sendtorunningcopy(copy.dir + "/none", "show", 2000ms), handoverresult::notrunning);
}

namespace {
// Starts `body` in a child process as user `uid` (needs root).
pid_t startasuser(uid_t uid, const std::function<int()> &body) {
  const pid_t pid = ::fork();
  if (pid == 0) {
    if (::setgroups(0, nullptr) != 0 || ::setresgid(uid, uid, uid) != 0 || ::setresuid(uid, uid, uid) != 0)
      ::_exit(255);
    ::_exit(body());
  }
  return pid;
}

// The child's exit code; -1 when it could not become its user.
int exitcode(pid_t pid) {
  int status = 0;
  ::waitpid(pid, &status, 0);
  return WIFEXITED(status) && WEXITSTATUS(status) != 255 ? WEXITSTATUS(status) : -1;
}
}  // namespace

TEST(handover, the_command_socket_talks_only_to_its_own_user) {
  if (::geteuid() != 0) GTEST_SKIP() << "needs root to act as another user";
  constexpr uid_t other = 65534;

  // The running copy refuses a connection another user made.
  fakecopy copy;
  ::chmod(copy.dir.c_str(), 0711);
  ::chmod(copy.path.c_str(), 0777);
  ASSERT_EQ(exitcode(startasuser(other, [&] { return unixconnect(copy.path) ? 0 : 1; })), 0);
  ownedfd theirs(::accept(copy.fd, nullptr, nullptr));
  EXPECT_FALSE(peeristhisuser(theirs.get(), "refused"));
  ownedfd mine = unixconnect(copy.path);
  ownedfd accepted(::accept(copy.fd, nullptr, nullptr));
  EXPECT_TRUE(peeristhisuser(accepted.get(), "refused"));

  // A later start sends nothing to another user's listener standing in for
  // the running copy: the listener reads until the start has gone and exits
  // with the number of bytes it got.
  ::chown(copy.dir.c_str(), other, other);
  const std::string theirpath = copy.dir + "/theirs";
  int ready[2];
  ASSERT_EQ(::pipe(ready), 0);
  const pid_t listener = startasuser(other, [&] {
    const ownedfd socket = unixlisten(theirpath, 1);
    if (!socket || ::write(ready[1], "r", 1) != 1) return 254;
    const ownedfd start(::accept(socket.get(), nullptr, nullptr));
    char buf[64];
    int total = 0;
    for (ssize_t n; (n = ::read(start.get(), buf, sizeof buf)) > 0;) total += static_cast<int>(n);
    return std::min(total, 250);
  });
  ::close(ready[1]);
  char r = 0;
  ASSERT_EQ(::read(ready[0], &r, 1), 1);
  ::close(ready[0]);
  EXPECT_EQ(sendtorunningcopy(theirpath, "dial +15551234", 500ms), handoverresult::refused);
  EXPECT_EQ(exitcode(listener), 0);
}

TEST(sandbox, on_unless_root_or_asked_off) {
  EXPECT_EQ(choosesandbox(1000, 1000, false, nullptr), sandboxstate::on);
  EXPECT_EQ(choosesandbox(1000, 1000, false, ""), sandboxstate::on);
  EXPECT_EQ(choosesandbox(1000, 1000, false, "0"), sandboxstate::on);
  EXPECT_EQ(choosesandbox(1000, 1000, false, "1"), sandboxstate::offasked);
  EXPECT_EQ(choosesandbox(1000, 1000, true, nullptr), sandboxstate::offasked);
  EXPECT_EQ(choosesandbox(0, 0, false, nullptr), sandboxstate::offroot);
  EXPECT_EQ(choosesandbox(1000, 0, false, "0"), sandboxstate::offroot);  // set-user-id root
  EXPECT_TRUE(parsecmdline({"prog", "--no-sandbox"}).nosandbox);
  EXPECT_NE(helptext().find("--no-sandbox"), std::string::npos);
}

TEST(drawing, in_software_only_without_a_graphics_device_and_without_the_users_choice) {
  const std::filesystem::path dev =
      std::filesystem::temp_directory_path() / ("drawingtest." + std::to_string(::getpid()));
  std::filesystem::create_directories(dev / "dri");
  // An empty /dev/dri (a driver without a device) is no graphics device.
  EXPECT_FALSE(graphicsdevicein(dev));
  EXPECT_EQ(choosedrawing(graphicsdevicein(dev), nullptr, ""), drawing::software);
  { std::ofstream(dev / "dri" / "renderD128"); }
  EXPECT_TRUE(graphicsdevicein(dev));
  EXPECT_EQ(choosedrawing(graphicsdevicein(dev), nullptr, nullptr), drawing::gpu);
  std::filesystem::remove_all(dev / "dri");
  { std::ofstream(dev / "nvidiactl"); }
  EXPECT_TRUE(graphicsdevicein(dev));
  EXPECT_EQ(choosedrawing(false, "rhi", nullptr), drawing::userchoice);
  EXPECT_EQ(choosedrawing(false, nullptr, "opengl"), drawing::userchoice);
  std::filesystem::remove_all(dev);
}

TEST(dialrelay, a_number_waits_until_a_service_page_is_connected) {
  std::vector<std::string> dialled;
  dialrelay relay([&](const std::string &n) { dialled.push_back(n); });
  relay.request("100");
  relay.request("200");  // the newer link replaces the waiting one
  EXPECT_TRUE(dialled.empty());
  EXPECT_TRUE(relay.waiting());
  relay.pageconnected(true);
  EXPECT_EQ(dialled, std::vector<std::string>{"200"});
  EXPECT_FALSE(relay.waiting());
  // Once the page is connected, each number goes at once, and only once;
  // while a navigation has it away, the number waits again.
  relay.pageconnected(true);
  relay.request("300");
  relay.pageconnected(false);
  relay.request("400");
  EXPECT_EQ(dialled, (std::vector<std::string>{"200", "300"}));
  relay.pageconnected(true);
  EXPECT_EQ(dialled, (std::vector<std::string>{"200", "300", "400"}));
}

TEST(cmdline, help_version_and_the_first_dial_link_are_taken_out) {
  const cmdline c = parsecmdline({"prog", "--help", "tel:123", "-style", "sip:1@x", "--version"});
  EXPECT_TRUE(c.help);
  EXPECT_TRUE(c.version);
  EXPECT_EQ(c.dialuri, "tel:123");
  EXPECT_EQ(c.rest, (std::vector<std::string>{"prog", "-style"}));
  const cmdline none = parsecmdline({"tel:123"});  // argv[0] is the program, whatever its name
  EXPECT_FALSE(none.dialuri);
  EXPECT_NE(helptext().find("--service-origin=URL"), std::string::npos);
}
