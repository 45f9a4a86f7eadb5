// threads
#include "protocol/relayframe.h"

#include <gtest/gtest.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <string>
#include <thread>

namespace {

// Both ends of a local stream socket, closed at the end of the test.
struct socketpairfds {
  socketpairfds() { EXPECT_EQ(::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, fd), 0); }
  ~socketpairfds() {
    closeend(0);
    closeend(1);
  }
  void closeend(int i) {
    if (fd[i] >= 0) ::close(fd[i]);
    fd[i] = -1;
  }
  int fd[2] = {-1, -1};
};

std::string lengthfield(std::uint32_t n) {
  return {static_cast<char>(n & 0xff), static_cast<char>((n >> 8) & 0xff), static_cast<char>((n >> 16) & 0xff),
          static_cast<char>(n >> 24)};
}

void writeraw(int fd, const std::string &bytes) {
  ASSERT_EQ(::write(fd, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
}

}  // namespace

TEST(relayframe, messages_round_trip_with_little_endian_length) {
  socketpairfds s;
  ASSERT_TRUE(writepipemsg(s.fd[0], "ini|"));
  ASSERT_TRUE(writepipemsg(s.fd[0], ""));
  char head[8];
  ASSERT_EQ(::read(s.fd[1], head, 8), 8);
  EXPECT_EQ(std::string(head, 8), lengthfield(4) + "ini|");

  std::string got = "old";
  ASSERT_TRUE(readpipemsg(s.fd[1], got));
  EXPECT_EQ(got, "");

  // A pipe, not a socket, works the same way.
  int p[2];
  ASSERT_EQ(::pipe(p), 0);
  ASSERT_TRUE(writepipemsg(p[1], "x|y"));
  ASSERT_TRUE(readpipemsg(p[0], got));
  EXPECT_EQ(got, "x|y");
  ::close(p[0]);
  ::close(p[1]);
}

TEST(relayframe, partial_reads_and_writes_are_continued) {
  socketpairfds s;
  // Far larger than the socket buffer: the writer's sends stop early and must
  // continue while the reader takes the bytes.
  std::string big(8 << 20, '\0');
  for (std::size_t i = 0; i < big.size(); ++i) big[i] = static_cast<char>(i * 7);
  bool written = false;
  std::thread writer([&] { written = writepipemsg(s.fd[0], big); });
  std::string got;
  ASSERT_TRUE(readpipemsg(s.fd[1], got));
  writer.join();
  EXPECT_TRUE(written);
  EXPECT_TRUE(got == big);

  // A message arriving a byte at a time, length field included.
  const std::string wire = lengthfield(5) + "hello";
  std::thread trickle([&] {
    for (char c : wire) {
      ASSERT_EQ(::write(s.fd[0], &c, 1), 1);
      std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
  });
  ASSERT_TRUE(readpipemsg(s.fd[1], got));
  trickle.join();
  EXPECT_EQ(got, "hello");
}

TEST(relayframe, length_limit_is_64_mib_inclusive) {
  socketpairfds s;
  std::string got;
  // Refused without reading further: the next message is still intact.
  writeraw(s.fd[0], lengthfield(0x4000001));
  ASSERT_TRUE(writepipemsg(s.fd[0], "next"));
  EXPECT_FALSE(readpipemsg(s.fd[1], got));
  ASSERT_TRUE(readpipemsg(s.fd[1], got));
  EXPECT_EQ(got, "next");

  const std::string limit(0x4000000, 'q');
  std::thread writer([&] { EXPECT_TRUE(writepipemsg(s.fd[0], limit)); });
  EXPECT_TRUE(readpipemsg(s.fd[1], got));
  writer.join();
  EXPECT_EQ(got.size(), limit.size());
}

TEST(relayframe, a_peer_that_has_gone_fails_reads_and_writes) {
  {
    socketpairfds s;
    writeraw(s.fd[0], lengthfield(10) + "abc");
    s.closeend(0);
    std::string got;
    EXPECT_FALSE(readpipemsg(s.fd[1], got));
    EXPECT_EQ(got.size(), 10u);  // N bytes, partly filled
    EXPECT_EQ(got.substr(0, 3), "abc");
  }
  {
    socketpairfds s;
    writeraw(s.fd[0], std::string("\x01\x00", 2));
    s.closeend(0);
    std::string got = "kept";
    EXPECT_FALSE(readpipemsg(s.fd[1], got));
    EXPECT_EQ(got, "kept");
  }
  {
    // No SIGPIPE: the test program would end here otherwise.
    socketpairfds s;
    s.closeend(1);
    EXPECT_FALSE(writepipemsg(s.fd[0], "anyone there?"));
  }
}

TEST(relayframe, reader_splits_messages_that_arrive_together_or_in_pieces) {
  socketpairfds s;
  pipereader reader(s.fd[1]);
  std::string got;
  // Two messages and the start of a third in one write, a length cut in two.
  writeraw(s.fd[0], lengthfield(3) + "a|b" + lengthfield(0) + lengthfield(2).substr(0, 1));
  ASSERT_TRUE(reader.next(got));
  EXPECT_EQ(got, "a|b");
  ASSERT_TRUE(reader.next(got));
  EXPECT_EQ(got, "");
  writeraw(s.fd[0], lengthfield(2).substr(1) + "cd");
  ASSERT_TRUE(reader.next(got));
  EXPECT_EQ(got, "cd");
  // A message larger than the reader's buffer, written from another thread.
  const std::string big(300 * 1024, 'z');
  std::thread writer([&] { EXPECT_TRUE(writepipemsg(s.fd[0], big)); });
  ASSERT_TRUE(reader.next(got));
  writer.join();
  EXPECT_EQ(got, big);
  s.closeend(0);
  EXPECT_FALSE(reader.next(got));

  // A pipe, which a read that does not wait cannot look at, is read too.
  int p[2];
  ASSERT_EQ(::pipe(p), 0);
  pipereader onpipe(p[0]);
  ASSERT_TRUE(writepipemsg(p[1], "x|y"));
  ASSERT_TRUE(onpipe.next(got));
  EXPECT_EQ(got, "x|y");
  ::close(p[1]);
  EXPECT_FALSE(onpipe.next(got));
  ::close(p[0]);
}

TEST(relayframe, a_wait_for_an_answer_keeps_what_it_reads_and_sees_the_end) {
  using std::chrono::microseconds;
  for (const bool onpipe : {false, true}) {
    socketpairfds s;
    int p[2] = {-1, -1};
    if (onpipe) {
      ASSERT_EQ(::pipe(p), 0);
    }
    const int readend = onpipe ? p[0] : s.fd[1], writeend = onpipe ? p[1] : s.fd[0];
    pipereader reader(readend);
    std::string got;
    EXPECT_FALSE(reader.arrivedwithin(microseconds(50)));
    ASSERT_TRUE(writepipemsg(writeend, "ok|1"));
    ASSERT_TRUE(reader.arrivedwithin(microseconds(50)));
    ASSERT_TRUE(reader.next(got));
    EXPECT_EQ(got, "ok|1");
    ::close(writeend);
    if (!onpipe) s.fd[0] = -1;
    EXPECT_TRUE(reader.arrivedwithin(microseconds(50)));
    EXPECT_FALSE(reader.next(got));
    if (onpipe) ::close(p[0]);
  }
}
