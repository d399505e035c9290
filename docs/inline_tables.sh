#!/bin/sh
# Doxygen input filter: the navigator calls and their records are declared by
# expanding a table (an .inc file included in the header). Doxygen does not
# read included files into a header, so this puts each table's text in place
# of its #include; Doxygen's own macro expansion then shows every declaration.
exec sed -E 's|^#include "(messaging/[a-z_]+\.inc)"$|cat sdk/\1|e' "$1"
