#ifndef VARNIX_DEVICE_BOOT_VERSION_H
#define VARNIX_DEVICE_BOOT_VERSION_H

#include <stdint.h>

namespace varnix {

// Reads the boot loader version file afresh and reduces its 16 bytes to an
// integer, printing what it read or why it could not; 0 when unknown.
// GetBootLoaderVersion (system_status.h) keeps its first result for the
// life of the process.
int32_t ReadBootLoaderVersionFile();

}  // namespace varnix

#endif
