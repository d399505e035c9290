#ifndef VARNIX_TESTS_SUPPORT_WAIT_H
#define VARNIX_TESTS_SUPPORT_WAIT_H

#include <functional>
#include <string>

namespace varnix {
namespace test {

// Waits until condition() holds, checking often; false when it still does
// not hold after timeoutMs. Tests synchronise on what they can observe (a
// file appearing, a pipe drained, a child reaped), never on a fixed sleep.
bool WaitUntil(const std::function<bool()>& condition, int timeoutMs = 10000);

// The directory holding the built programs (varnix-position, the
// simulators), from the test environment.
std::string BinaryDir();

}  // namespace test
}  // namespace varnix

#endif
