// varnix-call: one navigator call from the command line; see call_tool.h.
#include "call_tool.h"

int main(int argc, char** argv) { return varnix::calltool::Main(argc, argv); }
