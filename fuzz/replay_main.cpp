// Runs a fuzz target once over every file of the directories (or files)
// given, in name order, without libFuzzer: how the ordinary builds replay
// the seed corpus and the inputs of past findings.
#include <dirent.h>
#include <stdint.h>
#include <stdio.h>
#include <sys/stat.h>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);
extern "C" __attribute__((weak)) int LLVMFuzzerInitialize(int* argc, char*** argv);

namespace {

std::vector<std::string> InputsOf(const std::string& path) {
  struct stat info;
  if (stat(path.c_str(), &info) != 0) return {};
  if (!S_ISDIR(info.st_mode)) return {path};
  std::vector<std::string> files;
  if (DIR* dir = opendir(path.c_str())) {
    while (struct dirent* entry = readdir(dir))
      if (entry->d_name[0] != '.') files.push_back(path + "/" + entry->d_name);
    closedir(dir);
  }
  std::sort(files.begin(), files.end());
  return files;
}

}  // namespace

int main(int argc, char** argv) {
  if (LLVMFuzzerInitialize != nullptr) LLVMFuzzerInitialize(&argc, &argv);
  int run = 0;
  for (int i = 1; i < argc; ++i) {
    std::vector<std::string> inputs = InputsOf(argv[i]);
    if (inputs.empty()) {
      fprintf(stderr, "no inputs in %s\n", argv[i]);
      return 1;
    }
    for (const std::string& file : inputs) {
      std::ifstream in(file, std::ios::binary);
      std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
      fprintf(stderr, "%s (%zu bytes)\n", file.c_str(), bytes.size());
      LLVMFuzzerTestOneInput(bytes.data(), bytes.size());
      ++run;
    }
  }
  fprintf(stderr, "%d inputs run\n", run);
  return run > 0 ? 0 : 1;
}
