#include <fcntl.h>
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <fstream>
#include <sstream>

#include "plugintest.h"
#include "protocol/relayframe.h"
#include "protocol/relayprogram.h"

extern char **environ;

// The codes as the documentation gives them to users.
static_assert(relayexit::served == 0 && relayexit::usage == 2 && relayexit::connecttimedout == 3 &&
              relayexit::connectfailed == 4 && relayexit::loadfailed == 5 && relayexit::nohandlecall == 6 &&
              relayexit::native == 9 && relayexit::unchecked == 10);

namespace {

// One run of the relay program with its standard error in a file.
class relayrun {
 public:
  relayrun(const scratchdir &dir, std::vector<std::string> args) : errpath(dir.path("stderr")) {
    args.insert(args.begin(), MODRELAY);
    std::vector<char *> argv;
    for (std::string &a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 2, errpath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    EXPECT_EQ(posix_spawn(&pid, MODRELAY, &actions, nullptr, argv.data(), environ), 0);
    posix_spawn_file_actions_destroy(&actions);
  }
  // The exit code, or -1 when it has not ended within 15 s (it is killed then).
  int exitcode() {
    for (int i = 0; i < 1500; ++i) {
      int status;
      if (::waitpid(pid, &status, WNOHANG) == pid)
        return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
      usleep(10000);
    }
    ::kill(pid, SIGKILL);
    ::waitpid(pid, nullptr, 0);
    return -1;
  }
  std::string errors() const {
    std::ifstream in(errpath);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
  }

 private:
  std::string errpath;
  pid_t pid = -1;
};

// The host's end: a listening socket the relay connects to.
class hostsocket {
 public:
  explicit hostsocket(const scratchdir &dir) : path(dir.path("sock")) {
    sockaddr_un a{};
    a.sun_family = AF_UNIX;
    std::strcpy(a.sun_path, path.c_str());
    listener = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    EXPECT_EQ(::bind(listener, reinterpret_cast<sockaddr *>(&a), sizeof a), 0);
    EXPECT_EQ(::listen(listener, 1), 0);
  }
  ~hostsocket() {
    if (conn >= 0) ::close(conn);
    ::close(listener);
  }
  void accept() { conn = ::accept4(listener, nullptr, nullptr, SOCK_CLOEXEC); }
  std::string ask(const std::string &payload) {
    std::string reply = "(no reply)";
    if (!writepipemsg(conn, payload) || !readpipemsg(conn, reply)) return "(broken)";
    return reply;
  }
  void hangup() {
    ::close(conn);
    conn = -1;
  }
  std::string path;

 private:
  int listener = -1;
  int conn = -1;
};

}  // namespace

TEST(modrelay, refuses_before_touching_the_socket) {
  scratchdir dir;
  {
    relayrun run(dir, {dir.path("sock")});
    EXPECT_EQ(run.exitcode(), relayexit::usage);
    EXPECT_EQ(run.errors(), "Usage: modrelay <socket path> <path/to/plugin.so>\n");
  }
  {
    relayrun run(dir, {dir.path("sock"), TESTPLUGIN64});
    EXPECT_EQ(run.exitcode(), relayexit::native);
    EXPECT_EQ(run.errors(), std::string("Bitness mismatch with DLL: ") + TESTPLUGIN64 + "\n");
  }
  {
    relayrun run(dir, {dir.path("sock"), dir.path("missing")});
    EXPECT_EQ(run.exitcode(), relayexit::unchecked);
    EXPECT_EQ(run.errors(), "Cannot check DLL " + dir.path("missing") + ": Cannot open file\n");
  }
  {
    relayrun run(dir, {"/" + std::string(200, 's'), TESTPLUGIN32});
    EXPECT_EQ(run.exitcode(), relayexit::connectfailed);
    EXPECT_EQ(run.errors().rfind("connect(socket) failed: ", 0), 0u) << run.errors();
  }
}

TEST(modrelay, a_library_that_does_not_load_ends_with_code_5) {
  scratchdir dir;
  std::string elf32(64, '\0');
  elf32.replace(0, 6, "\177ELF\x01\x01");
  std::ofstream(dir.path("bad.so"), std::ios::binary) << elf32;
  hostsocket host(dir);
  relayrun run(dir, {host.path, dir.path("bad.so")});
  host.accept();
  EXPECT_EQ(run.exitcode(), relayexit::loadfailed);
  EXPECT_EQ(run.errors().rfind("dlopen failed: ", 0), 0u) << run.errors();
}

TEST(modrelay, serves_calls_split_at_the_first_bar_until_fini) {
  scratchdir dir;
  const std::string lib = dir.copyplugin(TESTPLUGIN32, "p32");
  hostsocket host(dir);
  relayrun run(dir, {host.path, lib, "ignored"});
  host.accept();
  EXPECT_EQ(host.ask("ini|"), "ini:");
  EXPECT_EQ(host.ask(""), ":");
  EXPECT_EQ(host.ask("a|b|c"), "a:b|c");
  EXPECT_EQ(host.ask("finix|1"), "finix:1");
  EXPECT_EQ(host.ask("FINI"), "FINI:");
  EXPECT_EQ(host.ask("null|"), "");
  EXPECT_EQ(host.ask("fini|and more"), "ok");
  EXPECT_EQ(run.exitcode(), relayexit::served);
  EXPECT_EQ(run.errors(), "");
  EXPECT_EQ(pluginlog(lib),
            (std::vector<std::string>{"ini|", "ini|", "|", "a|b|c", "finix|1", "FINI|", "null|", "fini|"}));
}

TEST(modrelay, a_host_that_hangs_up_ends_the_service_without_fini) {
  scratchdir dir;
  const std::string lib = dir.copyplugin(TESTPLUGIN32, "p32");
  hostsocket host(dir);
  relayrun run(dir, {host.path, lib});
  host.accept();
  EXPECT_EQ(host.ask("echo|x"), "x");
  host.hangup();
  EXPECT_EQ(run.exitcode(), relayexit::served);
  EXPECT_EQ(pluginlog(lib), (std::vector<std::string>{"ini|", "echo|x"}));
}
