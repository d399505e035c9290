#include "log.h"

#include <stdarg.h>
#include <stdio.h>

namespace varnix {
namespace launcherd {

void Log(const char* format, ...) {
  va_list arguments;
  va_start(arguments, format);
  fputs("varnix-launcherd: ", stdout);
  vprintf(format, arguments);
  fputc('\n', stdout);
  fflush(stdout);
  va_end(arguments);
}

}  // namespace launcherd
}  // namespace varnix
