#include "registry/notifier.h"

#include <errno.h>
#include <sys/inotify.h>
#include <pthread.h>
#include <unistd.h>

#include <thread>

namespace tq {
namespace platform {
namespace reg {

namespace {

// Without inotify a waiter looks again this often.
constexpr std::chrono::milliseconds kFallbackSlice(50);

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

bool Notifier::Watch(const std::string &dir) {
  std::lock_guard<std::mutex> lock(mu_);
  if (owner_ != getpid()) {
    // First use, or a child after fork(): the parent's reader thread does
    // not exist here, so this process starts its own.
    if (fd_ >= 0) close(fd_);
    dirs_.clear();
    fd_ = inotify_init1(IN_CLOEXEC);
    owner_ = getpid();
    if (fd_ < 0) return false;
    std::thread(&Notifier::Run, this, fd_).detach();
  }
  if (fd_ < 0) return false;
  if (dirs_.count(dir)) return true;
  if (inotify_add_watch(fd_, dir.c_str(), kEvents) < 0) return false;
  dirs_.insert(dir);
  return true;
}

uint64_t Notifier::Generation() {
  std::lock_guard<std::mutex> lock(mu_);
  return gen_;
}

void Notifier::WaitPast(uint64_t gen, Deadline deadline) {
  std::unique_lock<std::mutex> lock(mu_);
  if (fd_ < 0 || owner_ != getpid()) {
    Deadline slice = std::chrono::steady_clock::now() + kFallbackSlice;
    cv_.wait_until(lock, slice < deadline ? slice : deadline);
    return;
  }
  cv_.wait_until(lock, deadline, [&] { return gen_ != gen; });
}

void Notifier::Run(int fd) {
  alignas(struct inotify_event) char buf[4096];
  for (;;) {
    ssize_t n = read(fd, buf, sizeof buf);
    if (n < 0 && errno == EINTR) continue;
    std::lock_guard<std::mutex> lock(mu_);
    if (n <= 0 || fd != fd_) {
      // The descriptor is gone (replaced after fork): waiters fall back.
      if (fd == fd_) fd_ = -1;
      cv_.notify_all();
      return;
    }
    ++gen_;
    cv_.notify_all();
  }
}

}  // namespace reg
}  // namespace platform
}  // namespace tq
