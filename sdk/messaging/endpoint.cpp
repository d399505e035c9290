#include "messaging/endpoint.h"

#include "base/os.h"
#include "messaging/text_helpers.h"

namespace varnix {
namespace {

const char KFieldSeparator = '|';

}  // namespace

MVarnixCommunicationLayerInterface::~MVarnixCommunicationLayerInterface() { delete arguments; }

CVarnixFileLayer::CVarnixFileLayer(MArguments* list)
    : MVarnixCommunicationLayerInterface(list), messageId(0), processId(0), replyMode(0) {
  localName[0] = 0;
  peerName[0] = 0;
}

void CVarnixFileLayer::NewRequest() {
  replyMode = 0;
  arguments->Reset();
}

void CVarnixFileLayer::NewReply(MVarnixSession* session) {
  replyMode = 1;
  arguments->Reset();
  messageId = CSession::IdOf(session) - 1;  // Send adds the 1 back
}

int32_t CVarnixFileLayer::AddArgument(const char* text) { return arguments->Append(text); }

MVarnixCommunicationLayerInterface* CreateFileLayer(const char* localName, const char* peerName,
                                                    int32_t processId) {
  CCsvArguments* list = new CCsvArguments(KFieldSeparator);
  if (list == nullptr) return nullptr;
  CVarnixFileLayer* endpoint = new CVarnixFileLayer(list);
  if (endpoint == nullptr) {
    delete list;
    return nullptr;
  }
  TextCopyBounded(endpoint->localName, localName, CVarnixFileLayer::KNameSize - 1);
  TextCopyBounded(endpoint->peerName, peerName, CVarnixFileLayer::KNameSize - 1);
  endpoint->processId = processId == -1 ? static_cast<int32_t>(os::Getpid()) : processId;
  return endpoint;
}

}  // namespace varnix
