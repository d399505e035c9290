// varnix-launcherd: the desktop stand-in for the device's launcher service.

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <string>

#include "request.h"
#include "server.h"

namespace {

const char KHelp[] =
    "Usage: varnix-launcherd [options]\n"
    "\n"
    "The desktop stand-in for the device's launcher service. It listens on the\n"
    "local stream socket /var/run/launchsock below the host root (VARNIX_ROOT)\n"
    "and answers one request per connection. A request is a text ended by a\n"
    "zero byte; every answer is a text ended by a zero byte, after which the\n"
    "launcher closes the connection.\n"
    "\n"
    "  LAUNCH <command text>  starts the command: split at blanks, no shell.\n"
    "                         A program given with an absolute path is taken\n"
    "                         from below the host root when it is there, else\n"
    "                         as given; a name without '/' is looked up in PATH.\n"
    "                         Answers \"PID <n>\", or \"ERR ...\" when the program\n"
    "                         cannot be started.\n"
    "  WAIT4 <pid>            answers \"<pid> <status>\" once that process has\n"
    "                         ended (status as waitpid gives it; the process is\n"
    "                         reaped and forgotten), and \"0 0\" while it runs.\n"
    "  KILL <pid>             sends SIGTERM; answers \"0\", or \"-1\" when that\n"
    "                         fails or the process has ended.\n"
    "\n"
    "The launcher acts only on processes that it started itself: any other pid\n"
    "is answered \"ERR unknown pid <pid>\" and no signal is sent. A malformed\n"
    "request (an unknown verb, a missing command, a process id that is not a\n"
    "decimal number, more than 4096 bytes without a zero byte) is answered\n"
    "\"ERR <reason>\" and the connection is closed; so is a connection that has\n"
    "not completed its request within the idle time-out (\"ERR timeout\"). A\n"
    "client that leaves early is forgotten. Many clients are served at once by\n"
    "one poll loop; none can hold up another.\n"
    "\n"
    "Started processes get no standard input and share the launcher's standard\n"
    "output and error, or write both to the file of --child-output. They run\n"
    "in process groups of their own.\n"
    "\n"
    "At start a stale socket file (nothing answers on it) is replaced; when\n"
    "another launcher answers there, or the path is not a socket, the launcher\n"
    "does not start (exit status 1). The lock file /var/run/launchsock.lock\n"
    "keeps two launchers from starting at once. On SIGINT or SIGTERM it removes\n"
    "its socket, sends SIGTERM to every running process it started, kills\n"
    "those still running after the grace time, reaps them all and exits with\n"
    "status 0.\n"
    "\n"
    "Everything it does is logged as lines \"varnix-launcherd: ...\" on standard\n"
    "output.\n"
    "\n"
    "Options:\n"
    "  --child-output PATH    a device path (below the host root) to which the\n"
    "                         started processes write their standard output and\n"
    "                         error, appended\n"
    "  --idle-timeout-ms N    how long a client may take to send its request\n"
    "                         (default 10000)\n"
    "  --grace-ms N           how long running processes get between SIGTERM\n"
    "                         and SIGKILL when the launcher stops (default 2000)\n"
    "  --help                 this text\n";

int UsageError(const char* problem, const char* what) {
  fprintf(stderr, "varnix-launcherd: %s %s; see --help\n", problem, what);
  return 2;
}

bool ParseMilliseconds(const char* text, int* out) {
  int32_t value = 0;
  if (!varnix::launcherd::ParseDecimal(text, &value) || value < 0) return false;
  *out = value;
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  varnix::launcherd::TServerOptions options;
  for (int i = 1; i < argc; ++i) {
    std::string option = argv[i];
    if (option == "--help" || option == "-h") {
      fputs(KHelp, stdout);
      return 0;
    }
    bool takesValue = option == "--child-output" || option == "--idle-timeout-ms" || option == "--grace-ms";
    if (!takesValue) return UsageError("unknown option", argv[i]);
    if (i + 1 == argc) return UsageError("no value for", argv[i]);
    const char* value = argv[++i];
    if (option == "--child-output") {
      if (value[0] != '/') return UsageError("not an absolute device path:", value);
      options.childOutput = value;
    } else if (!ParseMilliseconds(value, option == "--grace-ms" ? &options.graceMs : &options.idleTimeoutMs)) {
      return UsageError("not a number of milliseconds:", value);
    }
  }

  varnix::launcherd::CLauncherServer server(options);
  int status = server.Start();
  return status != 0 ? status : server.Run();
}
