// The incoming-call pump over a run-time directory holding files of any
// name: markers, near-markers and junk, some with message files. One pass
// must end (a marker whose name would not re-form from its fields must not
// be waited for), hand each call to the handler at most once, exactly for
// the markers addressed to the local name whose name re-forms exactly, with
// the fields of its message, remove just those markers and their messages,
// and leave every other file alone.
//
// Input: local name, then up to four entries of a file name and message
// bytes.
#include <fcntl.h>
#include <strings.h>
#include <unistd.h>

#include <set>
#include <string>
#include <vector>

#include "base/format.h"
#include "fuzz_support.h"
#include "messaging/incoming_calls.h"

namespace {

using varnix::fuzz::CInput;

const std::string KFinished = ".finished";

struct TCall {
  std::string name;  // the marker name formed again from the fields
  std::vector<std::string> fields;
};

class CRecorder : public varnix::MIncomingCallHandler {
 public:
  explicit CRecorder(const std::string& local) : local_(local) {}
  void HandleCall(varnix::MVarnixCommunicationLayerInterface* endpoint, varnix::MVarnixSession* session) override {
    auto* layer = static_cast<varnix::CVarnixFileLayer*>(endpoint);
    uint32_t id = varnix::CVarnixFileLayer::CSession::IdOf(session);
    char name[600];
    varnix::FormatBuffer(name, sizeof name, "%s.%s.%u.%u.finished", layer->PeerName(), layer->LocalName(),
                         static_cast<uint32_t>(layer->ProcessId()), id);
    TCall call{name, {}};
    for (int32_t i = 0; i < endpoint->arguments->Count(); ++i) call.fields.push_back(endpoint->arguments->At(i));
    FUZZ_CHECK(strcasecmp(layer->LocalName(), local_.c_str()) == 0);
    calls.push_back(call);
    // Answer, unless the caller is this application itself: its answer would
    // be a call to this application again.
    if (strcasecmp(layer->PeerName(), local_.c_str()) != 0) {
      endpoint->NewReply(session);
      endpoint->AddArgument("0");
      FUZZ_CHECK(endpoint->Send() == nullptr);
    }
  }
  std::vector<TCall> calls;

 private:
  std::string local_;
};

bool EndsWith(const std::string& s, const std::string& suffix) {
  return s.size() >= suffix.size() && s.compare(s.size() - suffix.size(), suffix.size(), suffix) == 0;
}

bool IsCanonicalNumber(const std::string& text) {
  if (text.empty() || text.size() > 10 || (text.size() > 1 && text[0] == '0')) return false;
  for (char c : text)
    if (c < '0' || c > '9') return false;
  return std::stoull(text) <= 0xFFFFFFFFull;
}

// 4294967295 would read as -1, which an endpoint takes for its own process.
bool IsProcessId(const std::string& text) { return IsCanonicalNumber(text) && text != "4294967295"; }

// Whether the pump must take this marker: four dot-separated fields and the
// kind, the receiver matching, both numbers as "%u" writes them.
bool MustBeTaken(const std::string& name, const std::string& local) {
  std::vector<std::string> parts;
  size_t start = 0;
  for (size_t dot; (dot = name.find('.', start)) != std::string::npos; start = dot + 1)
    parts.push_back(name.substr(start, dot - start));
  parts.push_back(name.substr(start));
  return parts.size() == 5 && parts[4] == "finished" && strcasecmp(parts[1].c_str(), local.c_str()) == 0 &&
         IsProcessId(parts[2]) && IsCanonicalNumber(parts[3]);
}

std::vector<std::string> Fields(std::string text) {
  text = text.substr(0, text.find('\0'));
  size_t lineFeed = text.find('\n');
  if (lineFeed != std::string::npos) text.resize(lineFeed + 1);
  std::vector<std::string> fields;
  size_t start = 0;
  for (size_t bar; (bar = text.find('|', start)) != std::string::npos; start = bar + 1)
    fields.push_back(text.substr(start, bar - start));
  return fields;
}

bool Exists(const std::string& path) { return access(path.c_str(), F_OK) == 0; }

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  varnix::fuzz::PrepareTarget();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string run = varnix::fuzz::FuzzRoot() + "/var/run/";
  CInput in(data, size);
  std::string local = in.Run(40);
  local = local.substr(0, local.find('\0'));

  std::set<std::string> markers;
  std::vector<std::pair<std::string, std::string>> messages;  // marker, message bytes
  int entries = 1 + in.Byte() % 4;
  for (int e = 0; e < entries; ++e) {
    std::string name = in.Run(255);
    std::string message = in.Run(255);
    for (char& c : name)
      if (c == '/' || c == 0) c = '_';
    if (name.empty() || name == "." || name == "..") continue;
    const char marker[8] = {'f', 'i', 'n', 'i', 's', 'h', '\n', 0};
    varnix::fuzz::WriteDeviceFile("/var/run/" + name, reinterpret_cast<const uint8_t*>(marker), sizeof marker);
    if (!EndsWith(name, KFinished)) continue;
    markers.insert(name);
    if (message.empty()) continue;  // no message file: the call comes without fields
    std::string messageName = name.substr(0, name.size() - KFinished.size()) + ".message";
    varnix::fuzz::WriteDeviceFile("/var/run/" + messageName, reinterpret_cast<const uint8_t*>(message.data()),
                                  message.size());
    messages.push_back({name, message});
  }

  int descriptors = varnix::fuzz::OpenDescriptors();
  CRecorder recorder(local);
  varnix::ProcessIncomingCalls(local.c_str(), &recorder);
  FUZZ_CHECK(varnix::fuzz::OpenDescriptors() == descriptors);

  std::set<std::string> taken;
  for (const TCall& call : recorder.calls) {
    FUZZ_CHECK(markers.count(call.name) == 1);  // re-forms to a marker that was there
    FUZZ_CHECK(taken.insert(call.name).second);  // once
    FUZZ_CHECK(!Exists(run + call.name));
    std::vector<std::string> expected;
    for (const auto& m : messages)
      if (m.first == call.name) expected = Fields(m.second);
    FUZZ_CHECK(call.fields == expected);
  }
  for (const std::string& name : markers) {
    bool fits = run.size() + name.size() <= 255;
    if (taken.count(name) == 0) FUZZ_CHECK(Exists(run + name));  // left alone
    if (fits && MustBeTaken(name, local)) FUZZ_CHECK(taken.count(name) == 1);
  }
  varnix::fuzz::EmptyDirectory("/var/run");
  return 0;
}
