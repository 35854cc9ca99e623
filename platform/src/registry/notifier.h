// Wakes threads that wait for a registry change: one inotify descriptor and
// one reader thread per process, watching the registry directories, however
// many handles wait. A waiter takes the generation, checks the history, and
// sleeps until the generation moves on (a file of the directory changed) or
// its deadline passes.
#pragma once

#include <stdint.h>
#include <sys/types.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>

namespace tq {
namespace platform {
namespace reg {

class Notifier {
 public:
  using Deadline = std::chrono::steady_clock::time_point;
  static Notifier &Instance();

  // Watches dir from now on; "" on success, else why it cannot.
  std::string Watch(const std::string &dir);
  uint64_t Generation();
  // Sleeps until the generation is past gen, the deadline passes, or the
  // notifier breaks down (the next Watch then says why).
  void WaitPast(uint64_t gen, Deadline deadline);

 private:
  Notifier() = default;
  void Run(int fd);

  std::mutex mu_;
  std::condition_variable cv_;
  uint64_t gen_ = 0;
  int fd_ = -1;
  int error_ = 0;    // why fd_ is -1
  pid_t owner_ = 0;  // the process whose thread reads fd_ (not a forked child)
};

}  // namespace reg
}  // namespace platform
}  // namespace tq
