#pragma once

#include <sys/types.h>
#include <sys/uio.h>

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string_view>

// Whole transfers on a descriptor. Each call goes on after a signal cuts a
// system call short (EINTR) and after a partial transfer, until every byte
// has moved or the descriptor fails.

// Reads exactly `size` bytes. False at the end of the stream or on an error,
// with the bytes read so far in `data`.
bool readall(int fd, void *data, std::size_t size);
// The same from a file at `offset`, leaving its position alone.
bool readallat(int fd, std::int64_t offset, void *data, std::size_t size);

// Writes every byte with write(): for files, pipes and terminals.
bool writeall(int fd, std::string_view data);
// The same for parts in order, with writev(); `parts` is used up as the
// bytes leave.
bool writeall(int fd, iovec *parts, int count);

// Writes every byte of the parts in order, in as few calls as the kernel
// allows; `parts` is used up as the bytes leave. On a socket with
// MSG_NOSIGNAL: a peer that has gone fails the call instead of ending the
// whole program with SIGPIPE. Plain writev() for descriptors that are no
// socket.
bool sendall(int fd, iovec *parts, int count);
bool sendall(int fd, std::string_view data);

// One read of what is there, at most `size` bytes: the count, 0 at the end of
// the stream, -1 on an error.
ssize_t readsome(int fd, void *data, std::size_t size);
// The same, but the wait for data is made in poll(). A reader blocked in
// read() on a Unix-domain socket is also woken whenever its peer takes in a
// message this side sent (the kernel's wake-up for write space does not say
// what it is for), and goes back to sleep: in a ping-pong that is an extra
// sleep and wake-up per message. poll() is woken for data only. Before it
// sleeps, the reader waits up to `spin` awake (common/spinwait.h).
ssize_t readsomewhenready(int fd, void *data, std::size_t size, std::chrono::microseconds spin);

// What arrives within `spin`, read while awake (common/spinwait.h) and never
// asleep: the count, 0 at the end of the stream, -1 on an error, and -1 with
// errno EAGAIN when nothing came.
ssize_t readsomewithin(int fd, void *data, std::size_t size, std::chrono::microseconds spin);

// Waits up to `spin` awake (common/spinwait.h) for `fd` to be readable (or
// hung up), asking poll() without a timeout; true when readable.
bool readablewithin(int fd, std::chrono::microseconds spin);

// Waits up to `wait` until `fd` can be read (or its peer has hung up); a
// signal does not end the wait early. As poll(): 1 ready, 0 time is up, -1
// poll failed.
int waitreadable(int fd, std::chrono::milliseconds wait);
