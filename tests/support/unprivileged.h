#ifndef VARNIX_TESTS_SUPPORT_UNPRIVILEGED_H
#define VARNIX_TESTS_SUPPORT_UNPRIVILEGED_H

#include <functional>
#include <string>
#include <vector>

namespace varnix {
namespace test {

// Permission cases need a process that permissions apply to. As root (CI),
// body runs in a forked child that has dropped to user and group 65534;
// otherwise it runs in this process, which is unprivileged already. The
// values body returns come back to the caller, who checks them.
//
//   TUnprivilegedRun run = RunUnprivileged([&] { return std::vector<int>{FileExists(p)}; });
//   if (run.cannotDrop) GTEST_SKIP() << run.reason;
//   ASSERT_TRUE(run.ran) << run.reason;
//   EXPECT_EQ(run.values, (std::vector<int>{0}));
//
// The tree the child looks at must be reachable for that user: a TempRoot
// is private (0700) until the test opens it with chmod.
struct TUnprivilegedRun {
  bool ran = false;         // body ran unprivileged and its values arrived
  bool cannotDrop = false;  // root, but privileges could not be dropped
  std::string reason;       // why it did not run
  std::vector<int> values;
};

TUnprivilegedRun RunUnprivileged(const std::function<std::vector<int>()>& body);

}  // namespace test
}  // namespace varnix

#endif
