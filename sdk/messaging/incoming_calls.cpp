#include "messaging/incoming_calls.h"

#include <strings.h>

#include "base/format.h"
#include "messaging/text_helpers.h"
#include "storage/directory_catalogue.h"
#include "storage/file_scanner.h"

namespace varnix {
namespace {

const int KNameBufferSize = 256;
const char KFinishedSuffix[] = ".finished";

// Cuts text at its first '.', in place; the text after the dot, or null
// when there is none.
char* CutAtDot(char* text) {
  for (char* p = text; *p != 0; ++p) {
    if (*p == '.') {
      *p = 0;
      return p + 1;
    }
  }
  return nullptr;
}

// Whether text is exactly how the sender's "%u" writes value: no sign, no
// leading zero, nothing after the digits.
bool IsCanonicalNumber(const char* text, uint32_t value) {
  char canonical[12];
  UnsignedToText(value, canonical, 10);
  return TextCompare(text, canonical) == 0;
}

struct TMarker {
  const char* sender;
  const char* receiver;
  int32_t processId;
  uint32_t messageId;
};

// Takes a marker name apart in place. False for names that are no marker of
// a call to localName, and for names that would not come out the same when
// formatted again from their fields: the endpoint would wait for a marker of
// another name, which never comes.
bool ParseMarker(char* name, const char* localName, TMarker* marker) {
  if (!TextEndsWith(name, KFinishedSuffix)) return false;
  char* receiver = CutAtDot(name);
  if (receiver == nullptr) return false;
  char* processText = CutAtDot(receiver);
  if (processText == nullptr) return false;
  if (strcasecmp(receiver, localName) != 0) return false;
  char* messageText = CutAtDot(processText);
  if (messageText == nullptr) return false;
  char* kind = CutAtDot(messageText);
  if (kind == nullptr) return false;

  marker->sender = name;
  marker->receiver = receiver;
  marker->processId = TextToInt(processText);
  marker->messageId = static_cast<uint32_t>(TextToInt(messageText));
  // A process id of 4294967295 reads as -1, which an endpoint takes for its
  // own process's id: it would wait for a marker of another name.
  return TextCompare(kind, KFinishedSuffix + 1) == 0 && marker->processId != -1 &&
         IsCanonicalNumber(processText, static_cast<uint32_t>(marker->processId)) &&
         IsCanonicalNumber(messageText, marker->messageId);
}

void HandleOneCall(const TMarker& marker, MIncomingCallHandler* handler) {
  // The reply goes out under the receiver's name as the caller spelled it.
  MVarnixCommunicationLayerInterface* endpoint =
      CreateFileLayer(marker.receiver, marker.sender, marker.processId);
  if (endpoint == nullptr) return;  // the files stay for the next run
  MVarnixSession* loading = new CVarnixFileLayer::CSession(marker.messageId);
  MVarnixSession* session = new CVarnixFileLayer::CSession(marker.messageId);
  if (loading == nullptr || session == nullptr) {
    delete loading;
    delete session;
    delete endpoint;
    return;
  }
  // The marker is there, so this loads the request at once and removes its
  // files.
  endpoint->WaitForReply(loading);
  handler->HandleCall(endpoint, session);
  delete session;
  delete endpoint;
}

}  // namespace

void ProcessIncomingCalls(const char* localName, MIncomingCallHandler* handler) {
  CFileScanner scanner(GetDirectoryPath(EDirRun), EScanFilesOnly);
  for (CFileScanner::TEntry* entry = scanner.First(); entry != nullptr; entry = scanner.Next()) {
    CDynString nameView = CDynString::RightView(*entry->path, entry->nameLength);
    char name[KNameBufferSize];
    int32_t length = entry->nameLength < KNameBufferSize - 1 ? entry->nameLength : KNameBufferSize - 1;
    TextCopyBounded(name, nameView.Data(), length);
    TMarker marker;
    if (ParseMarker(name, localName, &marker)) HandleOneCall(marker, handler);
  }
}

}  // namespace varnix
