#include "plugins/callerpoll.h"

#include <poll.h>

#include <algorithm>

struct callerpoll::watch : readwatch {
  watch(callerpoll &owner, int fd, std::function<void()> ready) : owner(owner), fd(fd), ready(std::move(ready)) {
    owner.watches.push_back(this);
  }
  ~watch() override { std::erase(owner.watches, this); }
  void on(bool enabled) override { this->enabled = enabled; }

  callerpoll &owner;
  int fd;
  std::function<void()> ready;
  bool enabled = false;
};

readwatcher callerpoll::watcher() {
  return [this](int fd, std::function<void()> ready) -> std::unique_ptr<readwatch> {
    return std::make_unique<watch>(*this, fd, std::move(ready));
  };
}

std::function<void(std::function<void()>)> callerpoll::deferrer() {
  return [this](std::function<void()> work) { deferred.push_back(std::move(work)); };
}

void callerpoll::rundeferred() {
  std::vector<std::function<void()>> work;
  work.swap(deferred);
  for (auto &w : work) w();
}

bool callerpoll::runonce(int timeoutms) {
  rundeferred();
  std::vector<pollfd> fds;
  std::vector<watch *> of;
  for (watch *w : watches)
    if (w->enabled) {
      fds.push_back({w->fd, POLLIN, 0});
      of.push_back(w);
    }
  if (fds.empty()) return false;
  if (::poll(fds.data(), fds.size(), timeoutms) > 0)
    for (std::size_t i = 0; i < fds.size(); ++i)
      if (fds[i].revents) of[i]->ready();
  return true;
}
