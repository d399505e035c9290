#ifndef VARNIX_TOOL_POSITION_TOOL_H
#define VARNIX_TOOL_POSITION_TOOL_H

namespace varnix {

// The position tool: opens the GPS feed ("/var/run/gpsfeed" below the host
// root), drains what is already waiting there, copies the next fresh chunk
// (one read of up to 1024 bytes) to standard output and returns the exit
// status, always 0. Diagnostic lines go to standard output too.
int RunPositionTool();

}  // namespace varnix

#endif
