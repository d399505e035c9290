#ifndef VARNIX_DEVICE_DECIMAL_SCAN_H
#define VARNIX_DEVICE_DECIMAL_SCAN_H

#include <stdint.h>
#include <stdio.h>

namespace varnix {

// Decimal numbers in the device's files. The files are written by others and
// may hold anything, so the readers here never overflow: a magnitude stops
// growing at KDecimalLimit, which leaves room to multiply kilobytes by 1024
// in 64 bits.
const int64_t KDecimalLimit = 1000000000000000LL;

// White space as the C library's scanf skips it (blank, \t \n \v \f \r).
int IsScanSpace(int ch);

// An optional sign and decimal digits at text; nothing is skipped before
// them. Returns the number of characters taken, 0 when no digit follows.
int ScanDecimal(const char* text, int64_t* value);

// The stream counterpart of "%d": skips white space (across lines), then
// reads an optional sign and digits. Stores the value, cut to the 32-bit
// range, and returns 1, or returns 0 and leaves value alone when no digit
// comes. Reads the stream through the OS seam in small blocks.
int ScanStreamInt(FILE* stream, int32_t* value);

// Clamps a 64-bit value to the 32-bit signed range.
int32_t ClampToInt32(int64_t value);

}  // namespace varnix

#endif
