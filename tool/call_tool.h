#ifndef VARNIX_TOOL_CALL_TOOL_H
#define VARNIX_TOOL_CALL_TOOL_H

// varnix-call: makes one navigator call through the runtime and prints its
// outcome as one line of JSON. The body is a small library so that the tests
// reach its parts (the command line, the JSON texts) directly.

#include <stdio.h>

#include <string>
#include <vector>

namespace varnix {
namespace calltool {

extern const char KUsage[];

struct TCommand {
  std::string endpointName = "client";
  bool halves = false;
  bool list = false;
  bool help = false;
  std::string call;
  std::vector<std::string> arguments;
};

// Reads the command line into command. Returns "" when it is usable, else
// the one line that tells what is wrong (unknown option or call, wrong
// number of arguments, an integer that is not a decimal 32-bit one). Calls
// are checked here, so a bad command line sends nothing.
std::string ParseCommandLine(int argc, const char* const* argv, TCommand* command);

// A JSON string holding bytes: quote, backslash and control characters
// escaped, bytes 0x80 to 0xFF as \u0080 to \u00ff.
std::string JsonText(const std::string& bytes);

// Strict decimal 32-bit integer: an optional '-' and digits.
bool ParseInteger(const std::string& text, int* value);

// One line per call of the catalogue: name, request field types, reply
// shape, separated by tabs.
void PrintCatalogue(FILE* out);

// Makes the call of a parsed command and prints its JSON line. Returns the
// exit status: 0 when the result is 0, 1 otherwise.
int RunCall(const TCommand& command, FILE* out);

// The whole program; returns the exit status.
int Main(int argc, const char* const* argv);

}  // namespace calltool
}  // namespace varnix

#endif
