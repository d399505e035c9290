#ifndef VARNIX_TESTS_MESSAGING_WIRE_PEER_H
#define VARNIX_TESTS_MESSAGING_WIRE_PEER_H

// The other side of the message-file exchange, written with plain POSIX
// calls and none of the runtime, so that a fault shared by the runtime's
// writer and reader cannot hide. It works in a run-time directory given as
// a path ending in "/".

#include <stdint.h>

#include <string>
#include <vector>

namespace varnix {
namespace test {

// "sender.receiver.pid.id.kind", the numbers as unsigned decimals.
std::string ExchangeName(const std::string& sender, const std::string& receiver, uint32_t processId,
                         uint32_t messageId, const std::string& kind);

class WirePeer {
 public:
  explicit WirePeer(const std::string& runDirectory) : dir_(runDirectory) {}

  // Writes a message file with exactly these bytes, then the 8-byte marker.
  void Post(const std::string& sender, const std::string& receiver, uint32_t processId, uint32_t messageId,
            const std::string& bytes) const;
  // Only the marker (its message file missing).
  void PostMarkerOnly(const std::string& sender, const std::string& receiver, uint32_t processId,
                      uint32_t messageId) const;
  // Waits for the marker of a message to this peer, reads the message byte
  // for byte, removes the marker and then the message. False on time-out.
  bool Take(const std::string& sender, const std::string& receiver, uint32_t processId, uint32_t messageId,
            std::string* bytes, int timeoutMs = 10000) const;

  std::string Read(const std::string& name) const;  // the whole file; "" when missing
  bool Exists(const std::string& name) const;
  void WriteFile(const std::string& name, const std::string& bytes) const;
  std::vector<std::string> Names() const;  // sorted entries except "." and ".."

 private:
  std::string dir_;
};

}  // namespace test
}  // namespace varnix

#endif
