#include "cli.h"
namespace tqtool {
void AddContextCommands(CLI::App &, Context &) {}
void AddMaintenanceCommands(CLI::App &, Context &) {}
void AddMediaCommands(CLI::App &, Context &) {}
}
