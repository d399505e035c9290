#ifndef VARNIX_TESTS_SUPPORT_TEMP_ROOT_H
#define VARNIX_TESTS_SUPPORT_TEMP_ROOT_H

#include <string>

namespace varnix {
namespace test {

// A device root of the test's own: a fresh temporary directory holding the
// device's directory tree (var/run, mnt/flash, mnt/sdcard, proc/morvantis,
// etc, bin). The process's host root points at it while the object lives,
// and VARNIX_ROOT is set for child processes. Everything is removed at the
// end.
class TempRoot {
 public:
  TempRoot();
  ~TempRoot();
  TempRoot(const TempRoot&) = delete;
  TempRoot& operator=(const TempRoot&) = delete;

  const std::string& Path() const { return path_; }
  // Path() + devicePath, for a device path such as "/var/run/x".
  std::string operator()(const std::string& devicePath) const { return path_ + devicePath; }

  void WriteFile(const std::string& devicePath, const std::string& contents) const;
  std::string ReadFile(const std::string& devicePath) const;
  bool Exists(const std::string& devicePath) const;
  void MakeDirs(const std::string& devicePath) const;

 private:
  std::string path_;
};

// Removes a directory tree (no error if it is missing).
void RemoveTree(const std::string& path);

// Whether this process runs as root (permission tests then drop privileges
// in a child or are skipped with a reason).
bool RunningAsRoot();

}  // namespace test
}  // namespace varnix

#endif
