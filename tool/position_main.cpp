// varnix-position: prints one fresh chunk of the GPS feed. It takes no
// arguments and always exits with status 0.
#include "position_tool.h"

int main() { return varnix::RunPositionTool(); }
