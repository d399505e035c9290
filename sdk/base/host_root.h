#ifndef VARNIX_BASE_HOST_ROOT_H
#define VARNIX_BASE_HOST_ROOT_H

#include "base/dyn_string.h"

namespace varnix {

/// @file
/// Every fixed device path of the runtime ("/var/run/", "/mnt/flash/",
/// "/proc/morvantis/", ...) is built by RootedPath, which puts the host root
/// in front of it. The host root is the environment variable VARNIX_ROOT, read
/// once per process with secure_getenv (so a set-user-id program ignores it).
/// Unset or empty, the paths are the device's own. On a desktop it lets the
/// whole runtime, its tools and the simulators work in a directory of their
/// own, without root privileges.
///
/// Path capacities stay as they are on the device, so a long root leaves less
/// room for names. A root longer than KMaxHostRootLength is refused with a
/// line on standard output, and the device paths are used.

const int KMaxHostRootLength = 200;

/// The root without a trailing '/', "" on the device.
const char* HostRoot();

/// Replaces the root for the rest of the process: tests and simulators that
/// set up a root of their own after start-up. Null or "" means no root.
void SetHostRoot(const char* root);

/// The fixed locations of the device, each spelled once, here.
enum TDeviceLocation {
  ELocationRun,            ///< "/var/run/"
  ELocationMnt,            ///< "/mnt/"
  ELocationFlash,          ///< "/mnt/flash/"
  ELocationCard,           ///< "/mnt/sdcard/"
  ELocationBin,            ///< "/bin/"
  ELocationProperties,     ///< "/proc/morvantis/"
  ELocationMeminfo,        ///< "/proc/meminfo"
  ELocationVersion,        ///< "/etc/version"
  ELocationBootVersion,    ///< "/mnt/flash/sysfile/bootver"
  ELocationGpsFeed,        ///< "/var/run/gpsfeed"
  ELocationLauncherSocket, ///< "/var/run/launchsock"
  ELocationUiPidFile,      ///< "/var/run/uipidshm"
  ELocationCount
};

/// The device's own spelling of a location, without the host root.
const char* DevicePath(TDeviceLocation location);

/// out = host root + the location; returns out.Text().
char* LocationPath(CDynString& out, TDeviceLocation location);

/// out = host root + devicePath (an absolute device path); returns out.Text().
char* RootedPath(CDynString& out, const char* devicePath);

}  // namespace varnix

#endif
