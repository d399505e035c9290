#ifndef VARNIX_BENCH_SUPPORT_BENCH_SUPPORT_H
#define VARNIX_BENCH_SUPPORT_BENCH_SUPPORT_H

#include <string>

namespace varnix {
namespace bench {

// VARNIX_BENCH_SMOKE set and not "0": the run only shows that every
// benchmark works (CI), so fixtures are small and figures mean nothing.
bool SmokeRun();

// The full-size value, or the small one in a smoke run.
inline long Scaled(long full, long smoke) { return SmokeRun() ? smoke : full; }

// The directory of the running program: the build's bin/, where the tools
// and simulators are.
std::string ProgramDir();

// A fresh directory under TMPDIR (or /tmp), removed with everything in it
// when the object goes.
class CScratchDir {
 public:
  explicit CScratchDir(const char* what);
  ~CScratchDir();
  CScratchDir(const CScratchDir&) = delete;
  CScratchDir& operator=(const CScratchDir&) = delete;

  const std::string& Path() const { return path_; }

 private:
  std::string path_;
};

// Removes a directory tree; quiet when it is missing.
void RemoveTree(const std::string& path);

// Ends the program with a message on standard error: benchmark set-up that
// cannot go on.
[[noreturn]] void Fail(const std::string& what);

}  // namespace bench
}  // namespace varnix

#endif
