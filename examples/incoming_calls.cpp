// Accepting calls: an application that other parties can call by its name.
//
// The incoming-call pump looks once through the run-time directory for calls
// addressed to the application and hands each to its handler, which answers
// through the endpoint it is given. The application runs the pump as often
// as it wants to accept calls. The same program also shows the calling side
// between two applications: a request to a peer by name, and its reply.
//
//   example-incoming-calls serve NAME [COUNT]   answer COUNT calls (1) to NAME
//   example-incoming-calls call NAME FIELD...   call NAME with these fields
//
// The server understands "Greet" with one text (it answers 0 and a greeting)
// and "Add" with two integers (it answers 0 and their sum); any other call is
// answered -1 alone. Exit status 0 when the calls were made and answered
// with 0.
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "varnix.h"

using namespace varnix;

namespace {

const uint32_t KPollMicroseconds = 10 * 1000;
const int KMaxPolls = 2000;  // twenty seconds

class CGreeter : public MIncomingCallHandler {
 public:
  int handled = 0;

  void HandleCall(MVarnixCommunicationLayerInterface* endpoint, MVarnixSession* session) override {
    // The request's fields are read first: NewReply empties the list.
    MArguments* request = endpoint->arguments;
    int32_t count = request->Count();
    const char* call = count > 0 ? request->At(0) : "";
    printf("serve: call %s with %d fields\n", call, static_cast<int>(count));
    CInlineString<200> answer;
    int32_t code = 0;
    if (strcmp(call, "Greet") == 0 && count == 2) {
      answer.Format("Hello, %s!", request->At(1));
    } else if (strcmp(call, "Add") == 0 && count == 3) {
      answer.SetInt(TextToInt(request->At(1)) + TextToInt(request->At(2)));
    } else {
      code = -1;
    }

    // The reply goes back under the names and ids of the request.
    endpoint->NewReply(session);
    endpoint->AddArgument(code == 0 ? "0" : "-1");
    if (code == 0) endpoint->AddArgument(answer.Text());
    endpoint->Send();
    ++handled;
  }
};

int Serve(const char* name, int count) {
  CGreeter greeter;
  printf("serve: accepting %d call(s) to %s\n", count, name);
  fflush(stdout);
  for (int polls = 0; greeter.handled < count; ++polls) {
    if (polls == KMaxPolls) {
      printf("serve: only %d call(s) came\n", greeter.handled);
      return 1;
    }
    ProcessIncomingCalls(name, &greeter);
    SleepMicroseconds(KPollMicroseconds);
  }
  return 0;
}

int Call(const char* peer, int fieldCount, char** fields) {
  MVarnixCommunicationLayerInterface* endpoint = CreateFileLayer("caller", peer, -1);
  if (endpoint == nullptr) {
    puts("Out of memory");
    return 1;
  }
  endpoint->NewRequest();
  for (int i = 0; i < fieldCount; ++i) endpoint->AddArgument(fields[i]);
  MVarnixSession* session = endpoint->Send();
  if (session == nullptr) {
    puts("call: the request could not be written");
    delete endpoint;
    return 1;
  }
  // WaitForReply waits without limit; a peer that is not there would keep
  // us waiting, so look first, for a while.
  int polls = 0;
  while (!endpoint->IsReplyReady(session) && polls < KMaxPolls) {
    SleepMicroseconds(KPollMicroseconds);
    ++polls;
  }
  if (polls == KMaxPolls) {
    printf("call: %s did not answer\n", peer);
    delete session;
    delete endpoint;
    return 1;
  }
  endpoint->WaitForReply(session);  // loads the reply and deletes the session
  MArguments* reply = endpoint->arguments;
  bool ok = reply->Count() == 2 && TextToInt(reply->At(0)) == 0;
  printf("call: %s answered %s%s%s\n", peer, reply->Count() > 0 ? reply->At(0) : "(nothing)",
         reply->Count() > 1 ? ", " : "", reply->Count() > 1 ? reply->At(1) : "");
  delete endpoint;
  return ok ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc >= 3 && strcmp(argv[1], "serve") == 0) return Serve(argv[2], argc > 3 ? atoi(argv[3]) : 1);
  if (argc >= 4 && strcmp(argv[1], "call") == 0) return Call(argv[2], argc - 3, argv + 3);
  puts("Usage: example-incoming-calls serve NAME [COUNT] | call NAME FIELD...");
  return 2;
}
