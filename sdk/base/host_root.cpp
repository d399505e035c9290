#include "base/host_root.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

namespace varnix {
namespace {

// Zero-initialised, so nothing runs before main; filled on first use.
bool gRootKnown;
char gRoot[KMaxHostRootLength + 1];

void Store(const char* root) {
  gRootKnown = true;
  gRoot[0] = 0;
  if (root == nullptr) return;
  size_t n = strlen(root);
  while (n > 0 && root[n - 1] == '/') --n;  // "/tmp/x/" and "/tmp/x" are one root
  if (n > static_cast<size_t>(KMaxHostRootLength)) {
    printf("VARNIX_ROOT: longer than %d characters, ignored\n", KMaxHostRootLength);
    fflush(stdout);
    return;
  }
  memcpy(gRoot, root, n);
  gRoot[n] = 0;
}

const char* const KDevicePaths[ELocationCount] = {
    "/var/run/",        "/mnt/",           "/mnt/flash/",
    "/mnt/sdcard/",     "/bin/",           "/proc/morvantis/",
    "/proc/meminfo",    "/etc/version",    "/mnt/flash/sysfile/bootver",
    "/var/run/gpsfeed", "/var/run/launchsock", "/var/run/uipidshm",
};

}  // namespace

const char* DevicePath(TDeviceLocation location) {
  if (location < 0 || location >= ELocationCount) return "/";
  return KDevicePaths[location];
}

char* LocationPath(CDynString& out, TDeviceLocation location) { return RootedPath(out, DevicePath(location)); }

const char* HostRoot() {
  if (!gRootKnown) Store(secure_getenv("VARNIX_ROOT"));
  return gRoot;
}

void SetHostRoot(const char* root) { Store(root); }

char* RootedPath(CDynString& out, const char* devicePath) {
  out.AssignText(HostRoot());
  out.AppendString(CDynString::WrapText(devicePath));
  return out.Text();
}

}  // namespace varnix
