// Many client processes at once against one varnix-navsim, each call
// carrying values that its reply must echo (GetLocationInfoV01 gives back
// the point it was asked about): every reply matches its request, no call
// is lost or answered twice, and nothing is left in the run-time directory.
//
// The suite runs 16 clients x 25 calls; scripts/load.sh runs the full 16 x
// 200 (VARNIX_LOAD_CALLS=200) and prints the figures.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

#include "base/os.h"
#include "messaging/endpoint.h"
#include "messaging/navigator_calls.h"
#include "support/child_process.h"
#include "support/temp_root.h"
#include "support/wait.h"

namespace varnix {
namespace {

const int KClients = 16;

int CallsPerClient() {
  const char* text = getenv("VARNIX_LOAD_CALLS");
  int calls = text != nullptr ? atoi(text) : 0;
  return calls > 0 ? calls : 25;
}

// The replies are polled every 100 ms; the clients look every millisecond
// instead (the sleep goes through the OS seam), so that the load is the
// server's and the files', not the clients' waiting.
int ShortPause(useconds_t) { return usleep(1000); }

// One client: its calls in a row; the exit status is the number of replies
// that did not match (at most 100), 101 when the endpoint could not be made.
int RunClient(int client, int calls) {
  os::gOsCurrent.Usleep = ShortPause;
  char name[32];
  snprintf(name, sizeof name, "load%02d", client);
  MVarnixCommunicationLayerInterface* endpoint = CreateFileLayer(name, "VarnixNavigationServer", -1);
  if (endpoint == nullptr) return 101;
  TCallContext context{};
  context.endpoint = endpoint;
  int wrong = 0;
  for (int call = 0; call < calls; ++call) {
    // Distinct for every client and call, and within the coordinate ranges.
    int32_t latitude = client * 1000000 + call * 7;
    int32_t longitude = -(client * 2000000 + call * 13);
    TLocationInfo info{};
    int32_t error = -100;
    int32_t result = GetLocationInfoV01(&context, &error, &info, latitude, longitude);
    if (result != 0 || error != 0 || info.integer1 != latitude || info.integer2 != longitude) ++wrong;
  }
  delete endpoint;
  return wrong > 100 ? 100 : wrong;
}

TEST(NavsimLoad, SixteenClientsAtOnceLoseNothing) {
  const int calls = CallsPerClient();
  test::TempRoot root;
  test::ChildProcess navsim;
  ASSERT_TRUE(navsim.Start("varnix-navsim", {"--verbose"}));
  ASSERT_TRUE(test::WaitUntil([&] { return navsim.Output().find("varnix-navsim:") != std::string::npos; }));

  fflush(stdout);
  auto start = std::chrono::steady_clock::now();
  std::vector<pid_t> clients;
  for (int c = 0; c < KClients; ++c) {
    pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) _exit(RunClient(c, calls));
    clients.push_back(pid);
  }
  for (int c = 0; c < KClients; ++c) {
    int status = -1;
    bool ended = test::ReapChild(clients[c], &status, 60000);
    EXPECT_TRUE(ended) << "client " << c << " did not finish";
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0)
        << "client " << c << ": " << (WIFEXITED(status) ? WEXITSTATUS(status) : -1) << " replies did not match";
  }

  double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();

  // Every call reached the server exactly once.
  navsim.Signal(SIGTERM);
  int status = -1;
  EXPECT_TRUE(navsim.Wait(&status));
  size_t served = test::CountOccurrences(navsim.Output(), "GetLocationInfoV01|");
  EXPECT_EQ(served, static_cast<size_t>(KClients * calls));
  std::vector<std::string> left;
  for (const auto& entry : std::filesystem::directory_iterator(root("/var/run")))
    left.push_back(entry.path().filename().string());
  EXPECT_TRUE(left.empty()) << left.size() << " files left, the first " << left.front();
  printf("[load] varnix-navsim: %d clients x %d calls, %zu served, %zu files left, %.2f s (%.0f calls/s)\n",
         KClients, calls, served, left.size(), seconds, KClients * calls / seconds);
}

}  // namespace
}  // namespace varnix
