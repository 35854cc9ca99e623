#include "registry/notifier.h"

#include <errno.h>
#include <pthread.h>
#include <string.h>
#include <sys/inotify.h>
#include <unistd.h>

#include <thread>

namespace tq {
namespace platform {
namespace reg {

namespace {

// Every way a file of the directory can change: a commit writes the
// write-ahead log; a checkpoint, replacement or deletion touches the rest.
constexpr uint32_t kEvents = IN_MODIFY | IN_CLOSE_WRITE | IN_CREATE | IN_DELETE | IN_MOVED_FROM |
                             IN_MOVED_TO | IN_ATTRIB | IN_DELETE_SELF | IN_MOVE_SELF;

}  // namespace

Notifier &Notifier::Instance() {
  // Never destroyed: its thread may still run. The lock is held across
  // fork() so that a child never inherits it taken by the reader thread.
  static Notifier *instance = [] {
    pthread_atfork([] { instance->mu_.lock(); }, [] { instance->mu_.unlock(); },
                   [] { instance->mu_.unlock(); });
    return new Notifier();
  }();
  return *instance;
}

std::string Notifier::Watch(const std::string &dir) {
  std::lock_guard<std::mutex> lock(mu_);
  if (owner_ != getpid()) {
    // First use, or a child after fork(): the parent's reader thread does
    // not exist here, so this process starts its own. A child's copy of the
    // parent's descriptor is closed first (-1 when there was none).
    close(fd_);
    fd_ = inotify_init1(IN_CLOEXEC);
    error_ = errno;
    owner_ = getpid();
    if (fd_ != -1) std::thread(&Notifier::Run, this, fd_).detach();
  }
  if (fd_ == -1) return std::string("inotify: ") + strerror(error_);
  // Adding a directory again only returns its watch.
  if (inotify_add_watch(fd_, dir.c_str(), kEvents) == -1) return strerror(errno);
  return "";
}

uint64_t Notifier::Generation() {
  std::lock_guard<std::mutex> lock(mu_);
  return gen_;
}

void Notifier::WaitPast(uint64_t gen, Deadline deadline) {
  std::unique_lock<std::mutex> lock(mu_);
  cv_.wait_until(lock, deadline, [&] { return gen_ != gen || fd_ == -1; });
}

void Notifier::Run(int fd) {
  alignas(struct inotify_event) char buf[4096];
  for (;;) {
    ssize_t n = read(fd, buf, sizeof buf);
    if (n == -1 && errno == EINTR) continue;
    int error = errno;
    std::lock_guard<std::mutex> lock(mu_);
    if (n != -1) {
      ++gen_;
      cv_.notify_all();
      continue;
    }
    // The descriptor failed: the waiters wake, and the next Watch starts
    // afresh.
    close(fd);
    error_ = error;
    fd_ = -1;
    owner_ = 0;
    cv_.notify_all();
    return;
  }
}

}  // namespace reg
}  // namespace platform
}  // namespace tq
