#include "base/host_root.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>

namespace varnix {
namespace {

// The root is read once per process, so each case that depends on the
// environment runs in a child of its own and reports through its exit code.
template <typename Body>
int InChild(Body body) {
  fflush(stdout);
  pid_t pid = fork();
  if (pid == 0) _exit(body() ? 0 : 1);
  int status = 0;
  waitpid(pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : 100;
}

std::string Path(TDeviceLocation location) {
  CPathString out;
  return LocationPath(out, location);
}

TEST(HostRoot, UnsetGivesTheDevicePathsByteForByte) {
  EXPECT_EQ(InChild([] {
              unsetenv("VARNIX_ROOT");
              return Path(ELocationRun) == "/var/run/" && Path(ELocationMnt) == "/mnt/" &&
                     Path(ELocationFlash) == "/mnt/flash/" && Path(ELocationCard) == "/mnt/sdcard/" &&
                     Path(ELocationBin) == "/bin/" && Path(ELocationProperties) == "/proc/morvantis/" &&
                     Path(ELocationMeminfo) == "/proc/meminfo" && Path(ELocationVersion) == "/etc/version" &&
                     Path(ELocationBootVersion) == "/mnt/flash/sysfile/bootver" &&
                     Path(ELocationGpsFeed) == "/var/run/gpsfeed" &&
                     Path(ELocationLauncherSocket) == "/var/run/launchsock" &&
                     Path(ELocationUiPidFile) == "/var/run/uipidshm" && std::string(HostRoot()).empty();
            }),
            0);
}

TEST(HostRoot, EmptyIsTheSameAsUnset) {
  EXPECT_EQ(InChild([] {
              setenv("VARNIX_ROOT", "", 1);
              return Path(ELocationRun) == "/var/run/";
            }),
            0);
}

TEST(HostRoot, PrefixesEveryLocation) {
  EXPECT_EQ(InChild([] {
              setenv("VARNIX_ROOT", "/tmp/dev", 1);
              for (int i = 0; i < ELocationCount; ++i) {
                TDeviceLocation location = static_cast<TDeviceLocation>(i);
                if (Path(location) != std::string("/tmp/dev") + DevicePath(location)) return false;
              }
              return true;
            }),
            0);
}

TEST(HostRoot, TrailingSlashesAreDropped) {
  EXPECT_EQ(InChild([] {
              setenv("VARNIX_ROOT", "/tmp/dev//", 1);
              return Path(ELocationRun) == "/tmp/dev/var/run/";
            }),
            0);
}

TEST(HostRoot, ReadOncePerProcess) {
  EXPECT_EQ(InChild([] {
              setenv("VARNIX_ROOT", "/first", 1);
              std::string before = Path(ELocationRun);
              setenv("VARNIX_ROOT", "/second", 1);
              return before == "/first/var/run/" && Path(ELocationRun) == "/first/var/run/";
            }),
            0);
}

TEST(HostRoot, OverlongRootIsRefused) {
  EXPECT_EQ(InChild([] {
              std::string root = "/" + std::string(KMaxHostRootLength + 5, 'r');
              setenv("VARNIX_ROOT", root.c_str(), 1);
              return Path(ELocationRun) == "/var/run/";
            }),
            0);
}

TEST(HostRoot, SetHostRootOverridesAndClears) {
  SetHostRoot("/x");
  EXPECT_EQ(Path(ELocationUiPidFile), "/x/var/run/uipidshm");
  CPathString out;
  EXPECT_STREQ(RootedPath(out, "/var/run/a.b.1.2.message"), "/x/var/run/a.b.1.2.message");
  SetHostRoot(nullptr);
  EXPECT_EQ(Path(ELocationUiPidFile), "/var/run/uipidshm");
}

TEST(HostRoot, LongRootLeavesLessRoomForNames) {
  std::string root = "/" + std::string(KMaxHostRootLength - 1, 'r');
  SetHostRoot(root.c_str());
  CPathString out;
  std::string path = RootedPath(out, "/var/run/a-rather-long-file-name-that-will-not-fit-entirely.message");
  EXPECT_EQ(path.size(), 255u) << "cut at the path capacity, as on the device";
  SetHostRoot(nullptr);
}

TEST(HostRoot, UnknownLocationIsTheBareRoot) {
  EXPECT_STREQ(DevicePath(ELocationCount), "/");
  EXPECT_STREQ(DevicePath(static_cast<TDeviceLocation>(-1)), "/");
}

}  // namespace
}  // namespace varnix
