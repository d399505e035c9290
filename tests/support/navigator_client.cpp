#include "support/navigator_client.h"

namespace varnix {
namespace test {

NavigatorClient::NavigatorClient(int32_t processId)
    : endpoint(CreateFileLayer("client", "VarnixNavigationServer", processId)) {
  context.endpoint = endpoint;
}

NavigatorClient::~NavigatorClient() { delete endpoint; }

}  // namespace test
}  // namespace varnix
