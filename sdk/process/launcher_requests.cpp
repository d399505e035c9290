#include <limits.h>
#include <string.h>

#include "base/dyn_string.h"
#include "base/format.h"
#include "base/host_root.h"
#include "base/os.h"
#include "process/launcher_client.h"

namespace varnix {
namespace {

// Pause between two looks for the answer: a launch takes the launcher a
// while, a query is answered at once.
const useconds_t KLaunchPause = 10000;
const useconds_t KQueryPause = 1000;

const int KArgsRequestSize = 1024;

// Reads an answer as scanf would, but never beyond its length or its first
// zero byte, so that an answer filling the whole buffer is safe to parse.
class CAnswerScanner {
 public:
  CAnswerScanner(const char* text, int length) : at(text), end(text + length) {}

  bool Literal(const char* word) {
    for (; *word != 0; ++word, ++at)
      if (Peek() != static_cast<unsigned char>(*word)) return false;
    return true;
  }

  // Blanks, an optional sign and at least one digit; a number beyond the
  // 32-bit range is not taken.
  bool Number(int32_t* out) {
    while (IsBlank(Peek())) ++at;
    bool negative = false;
    if (Peek() == '-' || Peek() == '+') {
      negative = Peek() == '-';
      ++at;
    }
    if (!IsDecimal(Peek())) return false;
    long long value = 0;
    for (; IsDecimal(Peek()); ++at) {
      value = value * 10 + (Peek() - '0');
      if (value > static_cast<long long>(INT_MAX) + 1) return false;
    }
    if (negative) value = -value;
    if (value > INT_MAX || value < INT_MIN) return false;
    *out = static_cast<int32_t>(value);
    return true;
  }

 private:
  // The next character, or -1 at the end of the text.
  int Peek() const { return at < end && *at != 0 ? static_cast<unsigned char>(*at) : -1; }
  static bool IsBlank(int ch) { return ch == ' ' || (ch >= '\t' && ch <= '\r'); }
  static bool IsDecimal(int ch) { return ch >= '0' && ch <= '9'; }

  const char* at;
  const char* end;
};

CLauncherClient* OpenConnection() {
  CPathString path;
  return new CLauncherClient(LocationPath(path, ELocationLauncherSocket));
}

void Release(CLauncherClient* client) {
  client->Close();
  delete client;
}

// Pauses to wait for the rest of an answer that came without its zero byte;
// a launcher that sends "PID n" alone and keeps the connection open is then
// taken at its word instead of being waited for without end.
const int KPausesForTheRest = 1000;

// Collects the answer until its zero byte, a full buffer or the end of the
// connection, looking again after each pause while nothing has come.
// Returns the number of bytes, or -1 when no answer came.
int32_t AwaitAnswer(CLauncherClient& client, char* answer, useconds_t pause) {
  int32_t have = 0;
  int quietPauses = 0;
  for (;;) {
    int32_t got = client.Receive(answer + have, static_cast<size_t>(KLauncherAnswerSize - have));
    if (got < 0) return have > 0 ? have : -1;
    if (got == 0) {
      if (have > 0 && ++quietPauses > KPausesForTheRest) return have;
      os::Usleep(pause);
      continue;
    }
    quietPauses = 0;
    have += got;
    if (have == KLauncherAnswerSize || memchr(answer, 0, static_cast<size_t>(have)) != nullptr) return have;
  }
}

// Sends the request, waits for the answer, then closes and releases the
// client. Returns the answer's length, or -1.
int32_t Exchange(CLauncherClient* client, const char* request, char* answer, useconds_t pause) {
  client->Send(request);
  int32_t length = AwaitAnswer(*client, answer, pause);
  Release(client);
  return length;
}

// "PID %d": the number, or -1.
int32_t ParsePid(const char* answer, int32_t length) {
  CAnswerScanner scan(answer, length);
  int32_t pid;
  return scan.Literal("PID") && scan.Number(&pid) ? pid : -1;
}

}  // namespace

int32_t LaunchProcess(const char* command) {
  if (command == nullptr) command = "";
  CLauncherClient* client = OpenConnection();
  if (client == nullptr) return -1;
  size_t size = strlen(command) + 8;
  char* request = static_cast<char*>(size <= INT_MAX ? os::Malloc(size) : nullptr);
  if (request == nullptr) {
    Release(client);
    return -1;
  }
  FormatBuffer(request, static_cast<int>(size), "LAUNCH %s", command);
  char answer[KLauncherAnswerSize];
  int32_t length = Exchange(client, request, answer, KLaunchPause);
  os::Free(request);
  return length < 0 ? -1 : ParsePid(answer, length);
}

int32_t LaunchProcessArgs(const char* const* words) {
  // The request is built before connecting: a list that does not fit is
  // refused as a whole instead of being sent cut.
  char request[KArgsRequestSize];
  const char prefix[] = "LAUNCH ";
  size_t used = sizeof prefix - 1;
  memcpy(request, prefix, used);
  for (int i = 0; words != nullptr && words[i] != nullptr; ++i) {
    size_t length = strlen(words[i]);
    size_t blank = i > 0 ? 1 : 0;
    if (used + blank + length + 1 > sizeof request) return -1;
    if (blank != 0) request[used++] = ' ';
    memcpy(request + used, words[i], length);
    used += length;
  }
  request[used] = 0;

  CLauncherClient* client = OpenConnection();
  if (client == nullptr) return -1;
  char answer[KLauncherAnswerSize];
  int32_t length = Exchange(client, request, answer, KLaunchPause);
  return length < 0 ? -1 : ParsePid(answer, length);
}

void WaitForProcess(int32_t pid, int32_t* first, int32_t* second) {
  *first = 0;
  CLauncherClient* client = OpenConnection();
  if (client == nullptr) return;
  char answer[KLauncherAnswerSize];
  FormatBuffer(answer, sizeof answer, "WAIT4 %d", pid);
  int32_t length = Exchange(client, answer, answer, KQueryPause);
  if (length < 0) return;
  CAnswerScanner scan(answer, length);
  int32_t ended, status;
  if (scan.Number(&ended) && scan.Number(&status)) {
    *first = ended;
    *second = status;
  }
}

int32_t KillProcess(int32_t pid) {
  CLauncherClient* client = OpenConnection();
  if (client == nullptr) return -1;
  char answer[KLauncherAnswerSize];
  FormatBuffer(answer, sizeof answer, "KILL %d", pid);
  int32_t length = Exchange(client, answer, answer, KQueryPause);
  if (length < 0) return -1;
  CAnswerScanner scan(answer, length);
  int32_t result;
  return scan.Number(&result) ? result : -1;
}

}  // namespace varnix
