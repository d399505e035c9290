#include "support/unprivileged.h"

#include <grp.h>
#include <sys/wait.h>
#include <unistd.h>

#include "support/temp_root.h"

namespace varnix {
namespace test {
namespace {

const uid_t KNobody = 65534;
const int KCannotDrop = 3;

bool WriteAll(int fd, const void* data, size_t size) {
  const char* bytes = static_cast<const char*>(data);
  while (size > 0) {
    ssize_t n = write(fd, bytes, size);
    if (n <= 0) return false;
    bytes += n;
    size -= static_cast<size_t>(n);
  }
  return true;
}

}  // namespace

TUnprivilegedRun RunUnprivileged(const std::function<std::vector<int>()>& body) {
  TUnprivilegedRun run;
  if (!RunningAsRoot()) {
    run.values = body();
    run.ran = true;
    return run;
  }
  int channel[2];
  if (pipe(channel) != 0) {
    run.reason = "cannot create a pipe to the unprivileged child";
    return run;
  }
  pid_t child = fork();
  if (child < 0) {
    close(channel[0]);
    close(channel[1]);
    run.reason = "cannot fork an unprivileged child";
    return run;
  }
  if (child == 0) {
    close(channel[0]);
    if (setgroups(0, nullptr) != 0 || setgid(KNobody) != 0 || setuid(KNobody) != 0 || getuid() != KNobody)
      _exit(KCannotDrop);
    std::vector<int> values = body();
    bool sent = WriteAll(channel[1], values.data(), values.size() * sizeof(int));
    _exit(sent ? 0 : 1);
  }
  close(channel[1]);
  int value;
  std::vector<int> values;
  for (;;) {
    ssize_t n = read(channel[0], &value, sizeof value);
    if (n != static_cast<ssize_t>(sizeof value)) break;
    values.push_back(value);
  }
  close(channel[0]);
  int status = 0;
  waitpid(child, &status, 0);
  if (WIFEXITED(status) && WEXITSTATUS(status) == KCannotDrop) {
    run.cannotDrop = true;
    run.reason = "running as root and cannot drop privileges to user 65534";
    return run;
  }
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
    run.reason = "the unprivileged child failed (status " + std::to_string(status) + ")";
    return run;
  }
  run.values = values;
  run.ran = true;
  return run;
}

}  // namespace test
}  // namespace varnix
