#include "request.h"

#include <stdio.h>

namespace varnix {
namespace launcherd {

std::vector<std::string> SplitAtBlanks(const std::string& text) {
  std::vector<std::string> words;
  std::string word;
  for (char ch : text) {
    if (ch == ' ' || ch == '\t') {
      if (!word.empty()) words.push_back(word);
      word.clear();
    } else {
      word += ch;
    }
  }
  if (!word.empty()) words.push_back(word);
  return words;
}

bool ParseDecimal(const std::string& text, int32_t* out) {
  size_t i = 0;
  bool negative = !text.empty() && text[0] == '-';
  if (negative) ++i;
  if (i == text.size()) return false;
  long long value = 0;
  for (; i < text.size(); ++i) {
    if (text[i] < '0' || text[i] > '9') return false;
    value = value * 10 + (text[i] - '0');
    if (value > 2147483648LL) return false;
  }
  if (negative) value = -value;
  if (value > 2147483647LL) return false;
  *out = static_cast<int32_t>(value);
  return true;
}

TRequest ParseRequest(const std::string& text) {
  TRequest request;
  size_t blank = text.find(' ');
  std::string verb = text.substr(0, blank);
  bool hasArgument = blank != std::string::npos;
  std::string argument = hasArgument ? text.substr(blank + 1) : std::string();

  if (verb == "LAUNCH") {
    request.command = argument;
    request.words = SplitAtBlanks(argument);
    if (request.words.empty())
      request.error = "no command";
    else
      request.verb = EVerbLaunch;
  } else if (verb == "WAIT4" || verb == "KILL") {
    if (!hasArgument)
      request.error = "no process id";
    else if (!ParseDecimal(argument, &request.pid))
      request.error = "bad process id";
    else
      request.verb = verb == "KILL" ? EVerbKill : EVerbWait;
  } else {
    request.error = "unknown request";
  }
  return request;
}

std::string Printable(const std::string& text, size_t limit) {
  std::string out;
  for (unsigned char ch : text) {
    if (out.size() >= limit) return out + "...";
    if (ch >= 0x20 && ch < 0x7f && ch != '\\') {
      out += static_cast<char>(ch);
    } else {
      char escaped[8];
      snprintf(escaped, sizeof escaped, "\\x%02x", ch);
      out += escaped;
    }
  }
  return out;
}

}  // namespace launcherd
}  // namespace varnix
