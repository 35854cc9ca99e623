#include "cli.h"
namespace tqtool {
void AddMediaCommands(CLI::App &, Context &) {}
}
