#include "reply_script.h"

#include <fstream>
#include <sstream>

#include "messaging/call_table.h"

namespace varnix {
namespace sim {

bool CReplyScript::Load(const std::string& path, std::string* problem) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    *problem = "cannot read " + path;
    return false;
  }
  std::stringstream text;
  text << in.rdbuf();
  return Parse(text.str(), problem);
}

bool CReplyScript::Parse(const std::string& text, std::string* problem) {
  std::istringstream lines(text);
  std::string line;
  for (int number = 1; std::getline(lines, line); ++number) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty() || line[0] == '#') continue;
    size_t gap = line.find_first_of(" \t");
    std::string call = line.substr(0, gap);
    if (FindNavigatorCall(call.c_str()) == nullptr) {
      *problem = "line " + std::to_string(number) + ": " + call + " is no call of the catalogue";
      return false;
    }
    replies_[call].push_back(gap == std::string::npos ? "" : line.substr(gap + 1));
  }
  return true;
}

bool CReplyScript::Next(const std::string& call, std::string* reply) {
  auto found = replies_.find(call);
  if (found == replies_.end()) return false;
  size_t& used = used_[call];
  *reply = found->second[used < found->second.size() ? used : found->second.size() - 1];
  ++used;
  return true;
}

}  // namespace sim
}  // namespace varnix
