#include "base/path_operations.h"
#include "base/stream_file.h"
#include "messaging/endpoint.h"
#include "messaging/text_helpers.h"
#include "storage/directory_catalogue.h"

// The message-file exchange. Every message is a pair of files in the
// run-time directory, named sender.receiver.processid.messageid.kind:
//   ...message   the argument text and its zero byte
//   ...finished  the 8-byte marker "finish\n\0", created only once the
//                message is complete and synced
// The reader waits for the marker, reads the message, then removes the
// marker and the message, in that order.

namespace varnix {
namespace {

const char KMessageFormat[] = "%s.%s.%u.%u.message";
const char KFinishedFormat[] = "%s.%s.%u.%u.finished";
const char KFinishedMarker[8] = {'f', 'i', 'n', 'i', 's', 'h', '\n', 0};
const int32_t KInlineWindow = 1024;
const uint32_t KReplyPollMicroseconds = 100000;

// out = the run-time directory + the file name, terminated.
void ExchangePath(CPathString& out, const char* format, const char* sender, const char* receiver,
                  int32_t processId, uint32_t messageId) {
  CPathString name;
  name.Format(format, sender, receiver, static_cast<uint32_t>(processId), messageId);
  out.Assign(GetDirectoryPath(EDirRun));
  out.AppendTerminated(name);
  out.Terminate();
}

}  // namespace

// A message that could not be written whole is removed again and gets no
// marker, so the peer never takes a truncated message for a complete one.
// The caller's session is obtained before anything is written: a call that
// went out while its caller was told it failed would be carried out, and its
// answer would stay in the run-time directory for good.
MVarnixSession* CVarnixFileLayer::Send() {
  ++messageId;
  CSession* session = nullptr;
  if (replyMode == 0) {
    session = new CSession(messageId);
    if (session == nullptr) return nullptr;
  }
  CPathString messagePath;
  ExchangePath(messagePath, KMessageFormat, localName, peerName, processId, messageId);
  const char* text = arguments->Buffer();
  CStreamFile message;
  if (message.OpenWrite(messagePath, nullptr, 0) != 0) {
    delete session;
    return nullptr;
  }
  int written = message.Write(text, TextLength(text) + 1);
  if (message.Close() != 0 || written != 0) {
    DeleteFile(messagePath);
    delete session;
    return nullptr;
  }

  CPathString markerPath;
  ExchangePath(markerPath, KFinishedFormat, localName, peerName, processId, messageId);
  // A marker that exists tells the peer the message is complete, whatever
  // bytes it got; the message itself is already whole on the medium.
  CStreamFile marker;
  if (marker.OpenWrite(markerPath, nullptr, 0) != 0) {
    delete session;
    return nullptr;
  }
  marker.Write(KFinishedMarker, sizeof KFinishedMarker);
  marker.Close();
  return session;
}

int CVarnixFileLayer::IsReplyReady(MVarnixSession* session) {
  CPathString markerPath;
  ExchangePath(markerPath, KFinishedFormat, peerName, localName, processId, CSession::IdOf(session));
  CStreamFile marker;
  if (marker.OpenRead(markerPath, nullptr) != 0) return 0;
  marker.Close();
  return 1;
}

void CVarnixFileLayer::WaitForReply(MVarnixSession* session) {
  if (session == nullptr) {
    arguments->Reset();
    return;
  }
  while (IsReplyReady(session) == 0) SleepMicroseconds(KReplyPollMicroseconds);

  uint32_t id = CSession::IdOf(session);
  CPathString messagePath;
  ExchangePath(messagePath, KMessageFormat, peerName, localName, processId, id);
  CStreamFile message;
  if (message.OpenRead(messagePath, nullptr) == 0) {
    // Replies up to 1023 bytes are read into the inline buffer; a larger one
    // gets a buffer of its own size, unless memory is short: then the reply
    // is read as far as the inline buffer holds.
    int32_t window = KInlineWindow;
    int32_t size = message.Size();
    if (size >= 0 && size + 1 >= KInlineWindow && arguments->Reserve(size + 1) != 0) window = size + 1;
    char* buffer = arguments->Buffer();
    // An empty message gives no fields, not the fields of the text that the
    // buffer held before.
    if (message.ReadLine(buffer, window) < 0) buffer[0] = 0;
    message.Close();
    buffer[window - 1] = 0;
    arguments->Split();
  }

  CPathString markerPath;
  ExchangePath(markerPath, KFinishedFormat, peerName, localName, processId, id);
  DeleteFile(markerPath);
  DeleteFile(messagePath);
  delete session;
}

}  // namespace varnix
