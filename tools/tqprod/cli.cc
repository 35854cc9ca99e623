#include "cli.h"

#include <stdio.h>
#include <stdlib.h>
#include <unistd.h>

#include <atomic>
#include <iostream>
#include <thread>

namespace tqtool {

int Error(const std::string &what, const std::string &why, int code) {
  std::cerr << "tqprod " << what << ": " << why << "\n";
  return code;
}

CLI::App *AddCommand(CLI::App &parent, Context &ctx, const std::string &name,
                     const std::string &help, std::function<int()> body) {
  CLI::App *sub = parent.add_subcommand(name, help);
  sub->callback([&ctx, body] { ctx.action = body; });
  return sub;
}

Progress::Progress(const std::string &label, bool quiet)
    : label_(label), tty_(!quiet && isatty(2) == 1), start_(std::chrono::steady_clock::now()) {
  const char *after = getenv("TQ_PROGRESS_AFTER_MS");
  after_ms_ = after && *after ? atol(after) : 1000;
}

Progress::~Progress() {
  if (shown_) fprintf(stderr, "\r\033[K");
}

void Progress::Step(unsigned done, unsigned total) {
  if (!tty_) return;
  double secs = std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
  if (secs * 1000 < after_ms_) return;
  shown_ = true;
  if (done > total && total) done = total;
  unsigned rate = secs > 0 ? static_cast<unsigned>(done / secs) : 0;
  if (total) fprintf(stderr, "\r%s %u/%u keys (%u/s)\033[K", label_.c_str(), done, total, rate);
  else fprintf(stderr, "\r%s %u keys (%u/s)\033[K", label_.c_str(), done, rate);
  fflush(stderr);
}

int WithProgress(const std::string &label, bool quiet, const std::function<unsigned()> &total_fn,
                 const std::function<unsigned()> &done, const std::function<int()> &work) {
  if (quiet || isatty(2) != 1) return work();
  const unsigned total = total_fn();
  Progress progress(label, quiet);
  std::atomic<bool> finished{false};
  int rc = 0;
  std::thread worker([&] {
    rc = work();
    finished = true;
  });
  while (!finished) {
    usleep(100 * 1000);
    progress.Step(done(), total);
  }
  worker.join();
  return rc;
}

}  // namespace tqtool
