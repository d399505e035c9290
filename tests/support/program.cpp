#include "support/program.h"

#include <unistd.h>

#include <sstream>

#include "support/wait.h"

namespace varnix {
namespace test {

namespace {
#ifdef VARNIX_TEST_EMULATOR
const char KEmulator[] = VARNIX_TEST_EMULATOR;
#else
const char KEmulator[] = "";
#endif
}  // namespace

std::vector<std::string> ProgramCommand(const std::string& name, const std::vector<std::string>& args) {
  std::vector<std::string> words;
  std::istringstream emulator(KEmulator);
  for (std::string word; emulator >> word;) words.push_back(word);
  words.push_back(BinaryDir() + "/" + name);
  words.insert(words.end(), args.begin(), args.end());
  return words;
}

void ExecCommand(const std::vector<std::string>& words) {
  std::vector<char*> argv;
  for (const std::string& word : words) argv.push_back(const_cast<char*>(word.c_str()));
  argv.push_back(nullptr);
  execvp(argv[0], argv.data());
  _exit(127);
}

}  // namespace test
}  // namespace varnix
