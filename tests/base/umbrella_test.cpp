#include "varnix.h"
#include "varnix.h"
