#ifndef VARNIX_SIM_LAUNCHERD_LOG_H
#define VARNIX_SIM_LAUNCHERD_LOG_H

namespace varnix {
namespace launcherd {

// One line "varnix-launcherd: ..." on standard output, flushed at once so
// that a log file shows it while the launcher runs.
void Log(const char* format, ...) __attribute__((format(printf, 1, 2)));

}  // namespace launcherd
}  // namespace varnix

#endif
