#include <errno.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <string>

#include "base/os.h"
#include "feed_fixture.h"
#include "support/os_fault.h"
#include "support/wait.h"

namespace varnix {
namespace {

using test::FeedFixture;

struct PositionTool : ::testing::Test {
  // Runs to the end and returns what the tool printed; its status must be 0.
  std::string Output() {
    int status = -1;
    std::string output;
    EXPECT_TRUE(feed.Finish(&status, &output)) << "the tool did not finish";
    EXPECT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    return output;
  }
  FeedFixture feed;
};

TEST_F(PositionTool, WithoutBacklogTheFirstShortReadIsDiscardedAndTheNextPrinted) {
  feed.MakeFeed();
  int writer = feed.OpenWriter();
  feed.StartProgram();
  FeedFixture::WriteAll(writer, std::string(80, 'a'));
  ASSERT_TRUE(FeedFixture::WaitDrained(writer));
  FeedFixture::WriteAll(writer, std::string(100, 'b'));
  EXPECT_EQ(Output(), std::string(100, 'b'));
}

// k full reads do not catch the tool up; the short read after them is also
// stale, and only the read after that is printed.
TEST_F(PositionTool, ABacklogOfWholeReadsIsDrainedAndTheNextShortReadDiscarded) {
  for (int k : {1, 3}) {
    FeedFixture local;
    local.MakeFeed();
    int writer = local.OpenWriter();
    FeedFixture::WriteAll(writer, std::string(1024 * k, 'o'));
    local.StartProgram();
    ASSERT_TRUE(FeedFixture::WaitDrained(writer));
    FeedFixture::WriteAll(writer, std::string(50, 's'));
    ASSERT_TRUE(FeedFixture::WaitDrained(writer));
    FeedFixture::WriteAll(writer, std::string(60, 'f'));
    int status = -1;
    std::string output;
    ASSERT_TRUE(local.Finish(&status, &output));
    EXPECT_EQ(output, std::string(60, 'f')) << "backlog of " << k << " x 1024";
    EXPECT_EQ(WEXITSTATUS(status), 0);
  }
}

TEST_F(PositionTool, PrintsAFullChunkOf1024BytesAndReadsNoFurther) {
  feed.MakeFeed();
  int writer = feed.OpenWriter();
  feed.StartProgram();
  FeedFixture::WriteAll(writer, std::string(80, 'a'));
  ASSERT_TRUE(FeedFixture::WaitDrained(writer));
  std::string fresh = std::string(1024, 'x') + std::string(1024, 'y');
  FeedFixture::WriteAll(writer, fresh);
  EXPECT_EQ(Output(), std::string(1024, 'x'));
  EXPECT_EQ(FeedFixture::Pending(writer), 1024);
}

TEST_F(PositionTool, MissingFeedPrintsOneLineAndExitsWithZero) {
  feed.StartProgram();
  EXPECT_EQ(Output(), "Can not obtain GPS feed file handle\n");
}

TEST_F(PositionTool, WriterGoingAwayAndComingBack) {
  feed.MakeFeed();
  int first = feed.OpenWriter();
  feed.StartProgram();
  FeedFixture::WriteAll(first, std::string(80, 'a'));
  ASSERT_TRUE(FeedFixture::WaitDrained(first));
  close(first);  // the fixture's close later fails harmlessly

  int second = feed.OpenWriter();
  FeedFixture::WriteAll(second, std::string(70, 'n'));
  EXPECT_EQ(Output(), std::string(70, 'n'));
}

// The tool's body in a forked child, with the seam reporting each open and
// poll on a pipe: after the writer goes away the tool must open the feed
// again (and wait there), not poll a hung-up pipe in a loop.
int gNotify = -1;
int NotifyingOpen(const char* path, int flags, mode_t mode) {
  (void)!write(gNotify, "o", 1);
  return os::gOsDefaults.Open(path, flags, mode);
}
int NotifyingPoll(struct pollfd* fds, nfds_t count, int timeout) {
  (void)!write(gNotify, "p", 1);
  return os::gOsDefaults.Poll(fds, count, timeout);
}

TEST_F(PositionTool, HangUpReopensTheFeedInsteadOfSpinningAndKeepsCaughtUp) {
  feed.MakeFeed();
  int notify[2];
  ASSERT_EQ(pipe2(notify, O_NONBLOCK | O_CLOEXEC), 0);
  feed.StartInChild(
      [&] {
        gNotify = notify[1];
        os::gOsCurrent.Open = &NotifyingOpen;
        os::gOsCurrent.Poll = &NotifyingPoll;
      },
      notify[1]);
  close(notify[1]);
  std::string events;
  auto Seen = [&](char what) {
    char buffer[256];
    ssize_t n;
    while ((n = read(notify[0], buffer, sizeof buffer)) > 0) events.append(buffer, static_cast<size_t>(n));
    return static_cast<int>(std::count(events.begin(), events.end(), what));
  };

  int first = feed.OpenWriter();
  FeedFixture::WriteAll(first, std::string(80, 'a'));
  ASSERT_TRUE(FeedFixture::WaitDrained(first));
  close(first);

  ASSERT_TRUE(test::WaitUntil([&] { return Seen('o') == 2; })) << "no reopen after hang-up; events " << events;
  EXPECT_LE(Seen('p'), 3) << events;

  int second = feed.OpenWriter();
  FeedFixture::WriteAll(second, std::string(40, 'z'));
  EXPECT_EQ(Output(), std::string(40, 'z'));  // caught up already: the first read is fresh
  close(notify[0]);
}

TEST_F(PositionTool, PollErrorReopensTheFeedKeepsCaughtUpAndSaysSo) {
  feed.MakeFeed();
  int writer = feed.OpenWriter();
  feed.StartInChild([] { test::FailCall("Poll", 2, EINTR); });
  FeedFixture::WriteAll(writer, std::string(80, 'a'));
  ASSERT_TRUE(FeedFixture::WaitDrained(writer));
  FeedFixture::WriteAll(writer, std::string(30, 'c'));
  std::string output = Output();
  const std::string line = "Poll() error, reopened GPS feed file, new handle ";
  ASSERT_EQ(output.compare(0, line.size(), line), 0) << output;
  size_t end = output.find('\n');
  ASSERT_NE(end, std::string::npos) << output;
  std::string handle = output.substr(line.size(), end - line.size());
  ASSERT_FALSE(handle.empty());
  EXPECT_EQ(handle.find_first_not_of("0123456789"), std::string::npos) << handle;
  EXPECT_GT(std::stoi(handle), 0);
  EXPECT_EQ(output.substr(end + 1), std::string(30, 'c'));
}

TEST_F(PositionTool, FailedReopenEndsWithTheHandleMessage) {
  feed.MakeFeed();
  feed.OpenWriter();
  feed.StartInChild([] {
    test::FailCall("Poll", 1, EINTR);
    test::FailCall("Open", 2, ENOENT);
  });
  EXPECT_EQ(Output(),
            "Poll() error, reopened GPS feed file, new handle -1\n"
            "Can not obtain GPS feed file handle\n");
}

int gZeroPolls = 0;
int PollReturningZeroOnce(struct pollfd* fds, nfds_t count, int timeout) {
  if (gZeroPolls++ == 0) return 0;
  return os::gOsDefaults.Poll(fds, count, timeout);
}

TEST_F(PositionTool, PollReturningZeroIsReportedAndTheWaitGoesOn) {
  feed.MakeFeed();
  int writer = feed.OpenWriter();
  feed.StartInChild([] { os::gOsCurrent.Poll = &PollReturningZeroOnce; });
  FeedFixture::WriteAll(writer, std::string(10, 'a'));
  ASSERT_TRUE(FeedFixture::WaitDrained(writer));
  FeedFixture::WriteAll(writer, std::string(20, 'b'));
  EXPECT_EQ(Output(), "Poll() returned 0, this should not happen !!!\n" + std::string(20, 'b'));
}

TEST_F(PositionTool, FailedReadAfterCatchingUpWritesNothing) {
  feed.MakeFeed();
  int writer = feed.OpenWriter();
  feed.StartInChild([] { test::FailCall("Read", 2, EIO); });
  FeedFixture::WriteAll(writer, std::string(10, 'a'));
  ASSERT_TRUE(FeedFixture::WaitDrained(writer));
  FeedFixture::WriteAll(writer, std::string(20, 'b'));  // the first read of it fails
  EXPECT_EQ(Output(), std::string(20, 'b'));
}

TEST_F(PositionTool, HandleZeroEndsAtOnceWithoutAMessage) {
  feed.MakeFeed();
  feed.OpenWriter();
  feed.StartInChild([] { close(STDIN_FILENO); });
  EXPECT_EQ(Output(), "");
}

}  // namespace
}  // namespace varnix
