#ifndef VARNIX_TESTS_SUPPORT_PROGRAM_H
#define VARNIX_TESTS_SUPPORT_PROGRAM_H

#include <string>
#include <vector>

namespace varnix {
namespace test {

// The words that start one of the built programs (varnix-position, the
// simulators, the examples) with the given arguments: its path in
// BinaryDir(), and in a cross build the emulator's words before it, since
// the host cannot run the target's programs by itself.
std::vector<std::string> ProgramCommand(const std::string& name, const std::vector<std::string>& args = {});

// Replaces the calling (forked) process with the command; when that fails,
// ends the process with status 127.
[[noreturn]] void ExecCommand(const std::vector<std::string>& words);

}  // namespace test
}  // namespace varnix

#endif
