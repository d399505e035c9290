#ifndef VARNIX_TESTS_MESSAGING_SCRIPTED_PEER_H
#define VARNIX_TESTS_MESSAGING_SCRIPTED_PEER_H

#include <stdint.h>

#include <string>

#include "support/temp_root.h"

namespace varnix {
namespace test {

// The navigation server's side of the exchange, written with plain POSIX
// file calls and nothing of the library, so that a fault shared by the
// library's writer and reader cannot hide. It answers in advance: the reply
// to message id n of the client is written before the client asks, and the
// client's request files, which nobody consumes, are read afterwards.
class ScriptedPeer {
 public:
  ScriptedPeer(const TempRoot& root, std::string client, uint32_t processId,
               std::string server = "VarnixNavigationServer");

  // Writes the reply message (text and a zero byte) and then its 8-byte
  // finished marker for message id n.
  void Answer(uint32_t id, const std::string& text) const;
  // The same, with the reply file holding exactly these bytes.
  void AnswerBytes(uint32_t id, const std::string& bytes) const;

  // The client's request message for id n, byte for byte ("" when missing).
  std::string Request(uint32_t id) const;
  bool RequestSent(uint32_t id) const;  // message and marker both there
  bool ReplyPending(uint32_t id) const; // either reply file still there

 private:
  std::string Path(const std::string& from, const std::string& to, uint32_t id, const char* kind) const;

  const TempRoot& root_;
  std::string client_;
  std::string server_;
  uint32_t processId_;
};

}  // namespace test
}  // namespace varnix

#endif
