#include "scripted_peer.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <utility>

namespace varnix {
namespace test {
namespace {

void WriteWhole(const std::string& path, const std::string& bytes) {
  int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  ASSERT_GE(fd, 0) << path;
  ASSERT_EQ(::write(fd, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size())) << path;
  ASSERT_EQ(::close(fd), 0);
}

}  // namespace

ScriptedPeer::ScriptedPeer(const TempRoot& root, std::string client, uint32_t processId, std::string server)
    : root_(root), client_(std::move(client)), server_(std::move(server)), processId_(processId) {}

std::string ScriptedPeer::Path(const std::string& from, const std::string& to, uint32_t id,
                               const char* kind) const {
  return root_("/var/run/" + from + "." + to + "." + std::to_string(processId_) + "." + std::to_string(id) +
               "." + kind);
}

void ScriptedPeer::Answer(uint32_t id, const std::string& text) const {
  AnswerBytes(id, text + std::string(1, '\0'));
}

void ScriptedPeer::AnswerBytes(uint32_t id, const std::string& bytes) const {
  WriteWhole(Path(server_, client_, id, "message"), bytes);
  WriteWhole(Path(server_, client_, id, "finished"), std::string("finish\n\0", 8));
}

std::string ScriptedPeer::Request(uint32_t id) const {
  int fd = ::open(Path(client_, server_, id, "message").c_str(), O_RDONLY);
  if (fd < 0) return "";
  std::string bytes;
  char chunk[4096];
  ssize_t n;
  while ((n = ::read(fd, chunk, sizeof chunk)) > 0) bytes.append(chunk, static_cast<size_t>(n));
  ::close(fd);
  return bytes;
}

bool ScriptedPeer::RequestSent(uint32_t id) const {
  return ::access(Path(client_, server_, id, "message").c_str(), F_OK) == 0 &&
         ::access(Path(client_, server_, id, "finished").c_str(), F_OK) == 0;
}

bool ScriptedPeer::ReplyPending(uint32_t id) const {
  return ::access(Path(server_, client_, id, "message").c_str(), F_OK) == 0 ||
         ::access(Path(server_, client_, id, "finished").c_str(), F_OK) == 0;
}

}  // namespace test
}  // namespace varnix
