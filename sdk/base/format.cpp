#include "base/format.h"

#include <ctype.h>
#include <string.h>

#include "base/dyn_string.h"

namespace varnix {
namespace {

// "00" to "99": decimal digits are made two at a time.
const char KDecimalPairs[201] =
    "0001020304050607080910111213141516171819"
    "2021222324252627282930313233343536373839"
    "4041424344454647484950515253545556575859"
    "6061626364656667686970717273747576777879"
    "8081828384858687888990919293949596979899";

// Writes the digits of value in base (2..36) backwards, the last one just
// before end, and returns where the first one is. Base 10, the common case,
// divides by the constant 100, which compiles to a multiplication.
inline char* DigitsBackwards(uint32_t value, uint32_t base, char* end) {
  char* first = end;
  if (base == 10) {
    while (value >= 100) {
      const char* pair = KDecimalPairs + 2 * (value % 100);
      value /= 100;
      *--first = pair[1];
      *--first = pair[0];
    }
    if (value >= 10) {
      *--first = KDecimalPairs[2 * value + 1];
      *--first = KDecimalPairs[2 * value];
    } else {
      *--first = static_cast<char>('0' + value);
    }
    return first;
  }
  do {
    uint32_t d = value % base;
    *--first = static_cast<char>(d <= 9 ? '0' + d : 'A' + d - 10);
    value /= base;
  } while (value != 0);
  return first;
}

// Digits of value in base (2..36), most significant first, terminated.
// Returns the number of digits; writes an empty text for any other base.
int UnsignedDigits(uint32_t value, char* out, uint32_t base) {
  if (base < 2 || base > 36) {
    out[0] = 0;
    return 0;
  }
  char digits[32];
  char* first = DigitsBackwards(value, base, digits + sizeof digits);
  int n = static_cast<int>(digits + sizeof digits - first);
  for (int i = 0; i < n; ++i) out[i] = first[i];
  out[n] = 0;
  return n;
}

// The output side of VFormat: every write stops at the limit.
struct TSink {
  char* buffer;
  uint32_t limit;
  uint32_t n;
  bool Full() const { return n >= limit; }
  void Put(char ch) {
    if (n < limit) buffer[n++] = ch;
  }
  // A terminated text, as far as there is room for it, in one copy.
  void PutText(const char* text) {
    uint32_t count = static_cast<uint32_t>(strnlen(text, limit - n));
    memcpy(buffer + n, text, count);
    n += count;
  }
};

void PutPaddedDigits(TSink& out, const char* digits, int count, int width, char pad) {
  for (int i = width - count; i > 0 && !out.Full(); --i) out.Put(pad);
  uint32_t room = out.limit - out.n;
  uint32_t n = static_cast<uint32_t>(count) < room ? static_cast<uint32_t>(count) : room;
  for (uint32_t i = 0; i < n; ++i) out.buffer[out.n + i] = digits[i];
  out.n += n;
}

}  // namespace

int VFormat(char* buffer, int size, const char* format, va_list arguments) {
  TSink out = {buffer, static_cast<uint32_t>(size) - 1u, 0};
  const char* f = format;
  while (!out.Full() && *f != 0) {
    if (*f != '%') {
      while (*f != 0 && *f != '%' && !out.Full()) out.Put(*f++);
      continue;
    }
    ++f;
    int width = 0;
    char pad = ' ';
    bool plus = false;
    bool widthAllowed = true;
    uint32_t base = 10;
    for (;;) {
      char c = *f;
      if (c == 0) break;  // the format ended inside a conversion
      ++f;
      if (c == '+') {
        plus = true;
      } else if (c == 'h' || c == 'l') {
      } else if (c == '0' && widthAllowed) {
        // The one character after the zero is the width.
        char w = *f;
        if (w == 0) break;
        ++f;
        width = (w >= '0' && w <= '9') ? w - '0' : 0;
        pad = '0';
        widthAllowed = false;
      } else if (c >= '1' && c <= '9' && widthAllowed) {
        width = c - '0';
        if (*f >= '0' && *f <= '9') width = width * 10 + (*f++ - '0');
        widthAllowed = false;
      } else if (c == '%') {
        out.Put('%');
        break;
      } else if (c == 'c') {
        out.Put(static_cast<char>(va_arg(arguments, int)));
        break;
      } else if (c == 's') {
        const char* text = va_arg(arguments, const char*);
        if (text != nullptr) out.PutText(text);
        break;
      } else if (c == 'd' || c == 'x' || c == 'X' || c == 'u') {
        uint32_t magnitude;
        if (c == 'u') {
          magnitude = va_arg(arguments, uint32_t);
        } else {
          if (c != 'd') base = 16;
          int32_t value = va_arg(arguments, int32_t);
          magnitude = static_cast<uint32_t>(value);
          if (value < 0) {
            out.Put('-');
            magnitude = 0u - magnitude;
          } else if (plus) {
            out.Put('+');
          }
        }
        char digits[32];
        char* end = digits + sizeof digits;
        char* first = DigitsBackwards(magnitude, base, end);
        PutPaddedDigits(out, first, static_cast<int>(end - first), width, pad);
        break;
      } else {
        out.Put(c);
        break;
      }
    }
  }
  buffer[out.n] = 0;
  return static_cast<int>(out.n);
}

int FormatBuffer(char* buffer, int size, const char* format, ...) {
  va_list arguments;
  va_start(arguments, format);
  int n = VFormat(buffer, size, format, arguments);
  va_end(arguments);
  return n;
}

int CDynString::Format(const char* format, ...) {
  if (Capacity() < 1) return 0;
  va_list arguments;
  va_start(arguments, format);
  int n = VFormat(Data(), Capacity(), format, arguments);
  va_end(arguments);
  SetLength(n);
  return n;
}

char* IntToText(int32_t value, char* out, int base) {
  uint32_t b = static_cast<uint32_t>(base);
  if (b < 2 || b > 36) {
    out[0] = 0;
    return out;
  }
  if (value < 0) {
    out[0] = '-';
    UnsignedDigits(0u - static_cast<uint32_t>(value), out + 1, b);
  } else {
    UnsignedDigits(static_cast<uint32_t>(value), out, b);
  }
  return out;
}

char* UnsignedToText(uint32_t value, char* out, int base) {
  UnsignedDigits(value, out, static_cast<uint32_t>(base));
  return out;
}

int32_t TextToInt(const char* text) {
  return CDynString::WrapChars(text, static_cast<int>(strlen(text))).ToInt();
}

int IsDigit(unsigned ch) { return ch >= '0' && ch <= '9'; }
int IsUpper(unsigned ch) { return ch >= 'A' && ch <= 'Z'; }
int IsLower(unsigned ch) { return ch >= 'a' && ch <= 'z'; }
int IsLetter(unsigned ch) { return IsUpper(ch) || IsLower(ch); }

char* UpperText(char* text) {
  for (char* p = text; *p != 0; ++p) *p = static_cast<char>(toupper(static_cast<unsigned char>(*p)));
  return text;
}

int CompareNoCaseN(const char* a, const char* b, int n) {
  for (int i = 0; i < n; ++i) {
    int ua = toupper(static_cast<unsigned char>(a[i]));
    int ub = toupper(static_cast<unsigned char>(b[i]));
    if (ua != ub) return ua - ub;
  }
  return 0;
}

void DotNonAlnum(char* text) {
  for (char* p = text; *p != 0; ++p)
    if (!isalnum(static_cast<unsigned char>(*p))) *p = '.';
}

char* SafeCopy(char* dst, const char* src, int size) {
  if (size <= 0) return dst;
  strncpy(dst, src, static_cast<size_t>(size - 1));
  dst[size - 1] = 0;
  return dst;
}

}  // namespace varnix
