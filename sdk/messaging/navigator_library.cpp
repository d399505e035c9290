#include "base/os.h"
#include "messaging/navigator_calls.h"
#include "messaging/text_helpers.h"

// The library's own operations beside the calls, and the blocking
// StopApplicationV01, which waits for the navigator to go after its reply.

namespace varnix {
namespace {

const char KSdkVersionText[] = "6.0";
const int32_t KSdkVersionNumber = 206;

// The navigator is given up to 11 seconds to go after it has accepted
// StopApplicationV01.
const uint32_t KStopWaitStep = 1000000;
const int32_t KStopWaitSteps = 10;

// SendCallToCustomUIAndWait asks for the result this often, 10 times per
// second of its timeout.
const uint32_t KCustomUIPollInterval = 100000;
const int32_t KCustomUIPollsPerSecond = 10;
const int32_t KCustomUIWaitFailed = -2;

bool NavigatorRunning(TCallContext* context) {
  int32_t ignored;
  return IsNavigatorRunning(context, &ignored) != 0;
}

}  // namespace

void FreeMemory(TCallContext*, void* block) {
  if (block != nullptr) os::Free(block);
}

int32_t GetSdkVersion(TCallContext*, int32_t* error, TVersionInfo* version) {
  *error = 0;
  TextCopyBounded(version->text, KSdkVersionText, static_cast<int32_t>(sizeof version->text) - 1);
  version->number = KSdkVersionNumber;
  return 0;
}

int32_t IsNavigatorRunning(TCallContext*, int32_t* error) {
  *error = 0;
  return 1;
}

int32_t StopApplicationV01(TCallContext* context, int32_t* error) {
  *error = 0;
  if (!NavigatorRunning(context)) return 0;
  MVarnixSession* session = SendStopApplicationV01(context);
  if (session == nullptr) {
    *error = KErrNoSession;
    return KErrNoSession;
  }
  int32_t result = ReceiveStopApplicationV01(context, session, error);
  if (*error == 0) {
    for (int32_t waited = 0; NavigatorRunning(context);) {
      ++waited;
      SleepMicroseconds(KStopWaitStep);
      if (waited > KStopWaitSteps) break;
    }
  }
  return result;
}

int32_t SendCallToCustomUIAndWait(TCallContext* context, int32_t* error, TCustomUIResult* output,
                                  int32_t arg1, const char* arg2, int32_t timeoutSeconds) {
  // 64 bits: a timeout of more than 214748364 seconds must not wrap.
  int64_t polls = static_cast<int64_t>(timeoutSeconds) * KCustomUIPollsPerSecond;
  *error = 0;
  if (!NavigatorRunning(context)) return KCustomUIWaitFailed;
  SendCallToCustomUIV01(context, error, arg1, arg2);
  if (*error != 0) return 0;
  // No time to wait: the result is not asked for and counts as not there yet.
  if (polls <= 0) {
    *error = KCustomUIPending;
    return KCustomUIWaitFailed;
  }
  for (int64_t i = 0; i < polls; ++i) {
    SleepMicroseconds(KCustomUIPollInterval);
    GetResultFromCustomUIV01(context, error, output);
    if (*error != KCustomUIPending) return 0;
  }
  return KCustomUIWaitFailed;
}

}  // namespace varnix
