#include "cli.h"

#include <stdio.h>
#include <unistd.h>

#include <iostream>

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

Progress::Progress(const std::string &label) : label_(label), tty_(isatty(2) == 1) {}

Progress::~Progress() {
  if (shown_) fprintf(stderr, "\r\033[K");
}

void Progress::Step(unsigned done, unsigned total) {
  if (!tty_) return;
  shown_ = true;
  if (total) fprintf(stderr, "\r%s %u/%u", label_.c_str(), done, total);
  else fprintf(stderr, "\r%s %u", label_.c_str(), done);
  fflush(stderr);
}

}  // namespace tqtool
