#include "support/wait.h"

#include <chrono>
#include <cstdlib>
#include <thread>

namespace varnix {
namespace test {

bool WaitUntil(const std::function<bool()>& condition, int timeoutMs) {
  auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  for (;;) {
    if (condition()) return true;
    if (std::chrono::steady_clock::now() >= deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
}

std::string BinaryDir() {
  const char* dir = std::getenv("VARNIX_TEST_BIN_DIR");
  return dir ? dir : ".";
}

}  // namespace test
}  // namespace varnix
