#ifndef VARNIX_MESSAGING_ENDPOINT_H
#define VARNIX_MESSAGING_ENDPOINT_H

/// @file
/// Endpoints and sessions of the navigator messaging. An endpoint has a name
/// of its own, its peer's name and a process id; together with a running
/// message id they name every message it sends. The one transport is the
/// message-file exchange in the run-time directory (CVarnixFileLayer).
///
/// An outgoing call: NewRequest, AddArgument for the call's name and each
/// argument, Send, then WaitForReply with the session Send returned; the
/// reply's fields are then read from `arguments` (Count, At).

#include <stdint.h>

#include "base/heap_object.h"
#include "messaging/arguments.h"

namespace varnix {

/// The handle of one exchange.
class MVarnixSession {
 public:
  VARNIX_HEAP_OPERATORS
  virtual ~MVarnixSession() {}
};

class MVarnixCommunicationLayerInterface {
 public:
  VARNIX_HEAP_OPERATORS
  /// The endpoint owns its argument list and deletes it.
  virtual ~MVarnixCommunicationLayerInterface();

  /// Begins a request: request mode, empty argument list. The message id is
  /// kept.
  virtual void NewRequest() = 0;
  /// Begins the reply to a received call: reply mode, empty argument list, and
  /// the next Send carries the session's message id. The session stays the
  /// caller's.
  virtual void NewReply(MVarnixSession* session) = 0;
  /// Appends one field; what the argument list's Append returns.
  virtual int32_t AddArgument(const char* text) = 0;
  /// Writes the message and its finished marker. Request mode: a new session
  /// for the message (the caller owns it), or null on failure. Reply mode:
  /// always null.
  virtual MVarnixSession* Send() = 0;
  /// 1 when the peer's answer to the session is there, else 0. Does not take
  /// the session over.
  virtual int IsReplyReady(MVarnixSession* session) = 0;
  /// Waits (without time-out) for the peer's answer to the session, loads it
  /// into the argument list, removes its files and deletes the session.
  /// Null only empties the argument list.
  virtual void WaitForReply(MVarnixSession* session) = 0;

  MArguments* arguments;

 protected:
  explicit MVarnixCommunicationLayerInterface(MArguments* list) : arguments(list) {}
};

class CVarnixFileLayer : public MVarnixCommunicationLayerInterface {
 public:
  /// The session of one message: its message id.
  class CSession : public MVarnixSession {
   public:
    explicit CSession(uint32_t id) : messageId(id) {}
    uint32_t MessageId() const { return messageId; }
    /// The id of a session that the file layer handed out or the pump made.
    static uint32_t IdOf(const MVarnixSession* session) {
      return static_cast<const CSession*>(session)->messageId;
    }

   private:
    uint32_t messageId;
  };

  static const int KNameSize = 256;

  explicit CVarnixFileLayer(MArguments* list);

  void NewRequest() override;
  void NewReply(MVarnixSession* session) override;
  int32_t AddArgument(const char* text) override;
  MVarnixSession* Send() override;
  int IsReplyReady(MVarnixSession* session) override;
  void WaitForReply(MVarnixSession* session) override;

  const char* LocalName() const { return localName; }
  const char* PeerName() const { return peerName; }
  uint32_t MessageId() const { return messageId; }
  int32_t ProcessId() const { return processId; }
  int32_t ReplyMode() const { return replyMode; }

 private:
  friend MVarnixCommunicationLayerInterface* CreateFileLayer(const char*, const char*, int32_t);

  char localName[KNameSize];
  char peerName[KNameSize];
  uint32_t messageId;
  int32_t processId;
  int32_t replyMode;
};

/// A new file-layer endpoint with an argument list separated by "|", or null
/// when memory cannot be obtained (nothing is left allocated). Names hold at
/// most 255 characters; a process id of -1 stands for the caller's own.
MVarnixCommunicationLayerInterface* CreateFileLayer(const char* localName, const char* peerName,
                                                    int32_t processId);

}  // namespace varnix

#endif
