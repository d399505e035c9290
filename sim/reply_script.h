#ifndef VARNIX_SIM_REPLY_SCRIPT_H
#define VARNIX_SIM_REPLY_SCRIPT_H

// The replies of varnix-navsim --script FILE: one line per reply, the call's
// name, one blank or tab, then the reply's text exactly as it is to be
// written ("0|1|2|"; nothing after the blank gives an empty reply). Several
// lines for one call are used in turn, and the last of them from then on.
// Empty lines and lines starting with '#' are skipped.

#include <map>
#include <string>
#include <vector>

namespace varnix {
namespace sim {

class CReplyScript {
 public:
  // Reads the file; false with *problem set when it cannot be read or names
  // a call that is not in the catalogue.
  bool Load(const std::string& path, std::string* problem);
  // Parses script text (what Load reads).
  bool Parse(const std::string& text, std::string* problem);

  // The next reply for the call, or false when the script has none for it.
  bool Next(const std::string& call, std::string* reply);

 private:
  std::map<std::string, std::vector<std::string>> replies_;
  std::map<std::string, size_t> used_;
};

}  // namespace sim
}  // namespace varnix

#endif
