#include "wire_peer.h"

#include <dirent.h>
#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <stdexcept>

#include "support/wait.h"

namespace varnix {
namespace test {

std::string ExchangeName(const std::string& sender, const std::string& receiver, uint32_t processId,
                         uint32_t messageId, const std::string& kind) {
  char numbers[32];
  snprintf(numbers, sizeof numbers, ".%u.%u.", processId, messageId);
  return sender + "." + receiver + numbers + kind;
}

void WirePeer::WriteFile(const std::string& name, const std::string& bytes) const {
  int fd = open((dir_ + name).c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) throw std::runtime_error("peer cannot create " + name);
  bool whole = write(fd, bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size());
  fsync(fd);
  close(fd);
  if (!whole) throw std::runtime_error("peer wrote " + name + " short");
}

void WirePeer::Post(const std::string& sender, const std::string& receiver, uint32_t processId,
                    uint32_t messageId, const std::string& bytes) const {
  WriteFile(ExchangeName(sender, receiver, processId, messageId, "message"), bytes);
  PostMarkerOnly(sender, receiver, processId, messageId);
}

void WirePeer::PostMarkerOnly(const std::string& sender, const std::string& receiver, uint32_t processId,
                              uint32_t messageId) const {
  WriteFile(ExchangeName(sender, receiver, processId, messageId, "finished"), std::string("finish\n\0", 8));
}

bool WirePeer::Take(const std::string& sender, const std::string& receiver, uint32_t processId,
                    uint32_t messageId, std::string* bytes, int timeoutMs) const {
  std::string marker = ExchangeName(sender, receiver, processId, messageId, "finished");
  std::string message = ExchangeName(sender, receiver, processId, messageId, "message");
  if (!WaitUntil([&] { return Exists(marker); }, timeoutMs)) return false;
  *bytes = Read(message);
  unlink((dir_ + marker).c_str());
  unlink((dir_ + message).c_str());
  return true;
}

std::string WirePeer::Read(const std::string& name) const {
  std::string bytes;
  int fd = open((dir_ + name).c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return bytes;
  char buffer[4096];
  ssize_t n;
  while ((n = read(fd, buffer, sizeof buffer)) > 0) bytes.append(buffer, static_cast<size_t>(n));
  close(fd);
  return bytes;
}

bool WirePeer::Exists(const std::string& name) const {
  struct stat info;
  return lstat((dir_ + name).c_str(), &info) == 0;
}

std::vector<std::string> WirePeer::Names() const {
  std::vector<std::string> names;
  DIR* directory = opendir(dir_.c_str());
  if (directory == nullptr) return names;
  while (struct dirent* entry = readdir(directory)) {
    std::string name = entry->d_name;
    if (name != "." && name != "..") names.push_back(name);
  }
  closedir(directory);
  std::sort(names.begin(), names.end());
  return names;
}

}  // namespace test
}  // namespace varnix
