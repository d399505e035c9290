#include "device/decimal_scan.h"

#include "base/os.h"

namespace varnix {
namespace {

// Takes one digit into a magnitude that stops at the limit.
void AddDigit(int64_t* magnitude, int digit) {
  if (*magnitude >= KDecimalLimit) return;
  *magnitude = *magnitude * 10 + digit;
  if (*magnitude > KDecimalLimit) *magnitude = KDecimalLimit;
}

int IsDigitChar(int ch) { return ch >= '0' && ch <= '9'; }

// A stream read one byte at a time from a small block.
class CByteSource {
 public:
  explicit CByteSource(FILE* source) : stream(source), pos(0), count(0) {}

  // The next byte, or -1 at the end of the stream or on an error.
  int Peek() {
    if (pos == count) {
      pos = 0;
      count = static_cast<int>(os::Fread(block, 1, sizeof block, stream));
      if (count <= 0) {
        count = 0;
        return -1;
      }
    }
    return block[pos];
  }

  void Skip() { ++pos; }

 private:
  FILE* stream;
  unsigned char block[64];
  int pos;
  int count;
};

}  // namespace

int IsScanSpace(int ch) { return ch == ' ' || (ch >= '\t' && ch <= '\r'); }

int32_t ClampToInt32(int64_t value) {
  if (value > INT32_MAX) return INT32_MAX;
  if (value < INT32_MIN) return INT32_MIN;
  return static_cast<int32_t>(value);
}

int ScanDecimal(const char* text, int64_t* value) {
  int i = 0;
  bool negative = false;
  if (text[i] == '-' || text[i] == '+') negative = text[i++] == '-';
  if (!IsDigitChar(static_cast<unsigned char>(text[i]))) return 0;
  int64_t magnitude = 0;
  while (IsDigitChar(static_cast<unsigned char>(text[i]))) AddDigit(&magnitude, text[i++] - '0');
  *value = negative ? -magnitude : magnitude;
  return i;
}

int ScanStreamInt(FILE* stream, int32_t* value) {
  CByteSource source(stream);
  int ch = source.Peek();
  while (ch >= 0 && IsScanSpace(ch)) {
    source.Skip();
    ch = source.Peek();
  }
  bool negative = false;
  if (ch == '-' || ch == '+') {
    negative = ch == '-';
    source.Skip();
    ch = source.Peek();
  }
  if (ch < 0 || !IsDigitChar(ch)) return 0;
  int64_t magnitude = 0;
  while (ch >= 0 && IsDigitChar(ch)) {
    AddDigit(&magnitude, ch - '0');
    source.Skip();
    ch = source.Peek();
  }
  *value = ClampToInt32(negative ? -magnitude : magnitude);
  return 1;
}

}  // namespace varnix
