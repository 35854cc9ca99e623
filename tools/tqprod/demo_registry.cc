// The embedded default registry that `tqprod demo-init` writes: a small
// firewall-and-management installation, enough to explore every command.
#include "demo_registry.h"

namespace tqtool {

const DemoValue kDemoRegistry[] = {
    {"SOFTWARE\\Tarquel\\MRK", "CurrentVersion", TQREG_SZ, "5.0"},
    {"SOFTWARE\\Tarquel\\MRK\\5.0", "VersionText", TQREG_SZ, "NG with Application Intelligence"},
    {"SOFTWARE\\Tarquel\\MRK\\5.0", "CurrentSP", TQREG_SZ, "4"},
    {"SOFTWARE\\Tarquel\\MRK\\5.0", "FWDIR", TQREG_SZ, "/opt/TQfw1-50"},
    {"SOFTWARE\\Tarquel\\MRK\\5.0", "Management", TQREG_DWORD, "1"},
    {"SOFTWARE\\Tarquel\\MRK\\5.0", "Module", TQREG_DWORD, "1"},
    {"SOFTWARE\\Tarquel\\MRK\\5.0", "HighAvailability", TQREG_DWORD, "0"},
    {"SOFTWARE\\Tarquel\\MRK\\5.0", "EventLogServer", TQREG_SZ, "127.0.0.1"},
    {"SOFTWARE\\Tarquel\\MRK\\5.0\\SP4", "VersionText", TQREG_SZ, "Feature Pack 4"},
    {"SOFTWARE\\Tarquel\\TQShared", "CurrentVersion", TQREG_SZ, "5.0"},
    {"SOFTWARE\\Tarquel\\TQShared\\5.0", "ProductDir", TQREG_SZ, "/opt/TQshrd-50"},
    {"SOFTWARE\\Tarquel\\products", "MRK", TQREG_SZ, "1"},
    {"SOFTWARE\\Tarquel\\products", "TQShared", TQREG_SZ, "1"},
    {"SOFTWARE\\Tarquel\\Extension DLLs", "Kernel", TQREG_MULTI_SZ, "fw_kern.so\0fw_filter.so\0"},
};
const unsigned kDemoRegistrySize = sizeof kDemoRegistry / sizeof kDemoRegistry[0];

}  // namespace tqtool
