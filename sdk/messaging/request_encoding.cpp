#include "base/format.h"
#include "messaging/call_proxy.h"
#include "messaging/endpoint.h"

namespace varnix {

CRequest::CRequest(TCallContext* callContext, const char* callName) : context(callContext), usable(false) {
  if (context == nullptr || context->endpoint == nullptr) return;
  context->endpoint->NewRequest();
  usable = true;
  Add(callName);
}

void CRequest::Add(const char* text) {
  if (!usable) return;
  if (context->endpoint->AddArgument(text == nullptr ? "" : text) < 0) usable = false;
}

void CRequest::Add(int32_t value) {
  if (!usable) return;
  Add(IntToText(value, context->numberText, 10));
}

MVarnixSession* CRequest::Send() { return usable ? context->endpoint->Send() : nullptr; }

}  // namespace varnix
