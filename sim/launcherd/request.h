#ifndef VARNIX_SIM_LAUNCHERD_REQUEST_H
#define VARNIX_SIM_LAUNCHERD_REQUEST_H

#include <stdint.h>

#include <string>
#include <vector>

namespace varnix {
namespace launcherd {

// The longest request, its zero byte included; a client that sends more
// without a zero byte is answered with an error.
const size_t KMaxRequestSize = 4096;

enum TVerb { EVerbLaunch, EVerbWait, EVerbKill, EVerbInvalid };

// One request of a client, as read up to its zero byte.
struct TRequest {
  TVerb verb = EVerbInvalid;
  int32_t pid = 0;                 // WAIT4, KILL
  std::string command;             // LAUNCH: the command text as sent
  std::vector<std::string> words;  // LAUNCH: program and arguments
  std::string error;               // EVerbInvalid: why
};

// text: the request without its zero byte.
TRequest ParseRequest(const std::string& text);

// The words of a command text: split at blanks and tabs, runs of them count
// as one, no quoting.
std::vector<std::string> SplitAtBlanks(const std::string& text);

// A decimal number in the 32-bit range: an optional '-' and digits, nothing
// else.
bool ParseDecimal(const std::string& text, int32_t* out);

// text for a log line: bytes outside printable ASCII as \xNN, cut to at most
// limit characters (with "..." after a cut).
std::string Printable(const std::string& text, size_t limit = 200);

}  // namespace launcherd
}  // namespace varnix

#endif
