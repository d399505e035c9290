#ifndef VARNIX_TESTS_SUPPORT_NAVIGATOR_CLIENT_H
#define VARNIX_TESTS_SUPPORT_NAVIGATOR_CLIENT_H

#include <stdint.h>

#include "messaging/endpoint.h"
#include "messaging/navigator_records.h"

namespace varnix {
namespace test {

// What every navigator test needs: a client endpoint ("client" to
// "VarnixNavigationServer") and the call context over it. A fixture derives
// from it beside ::testing::Test and asserts in SetUp that endpoint is not
// null; the endpoint is deleted with the fixture unless a test deleted it
// (and set it to null) first.
class NavigatorClient {
 protected:
  explicit NavigatorClient(int32_t processId = 812);
  ~NavigatorClient();
  NavigatorClient(const NavigatorClient&) = delete;
  NavigatorClient& operator=(const NavigatorClient&) = delete;

  MVarnixCommunicationLayerInterface* endpoint;
  TCallContext context{};
};

}  // namespace test
}  // namespace varnix

#endif
