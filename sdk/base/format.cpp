#include "base/format.h"

#include <ctype.h>
#include <string.h>

#include "base/dyn_string.h"

namespace varnix {
namespace {

// Digits of value in base (2..36), most significant first, terminated.
// Returns the number of digits; writes an empty text for any other base.
int UnsignedDigits(uint32_t value, char* out, uint32_t base) {
  if (base < 2 || base > 36) {
    out[0] = 0;
    return 0;
  }
  int n = 0;
  do {
    uint32_t d = value % base;
    out[n++] = static_cast<char>(d <= 9 ? '0' + d : 'A' + d - 10);
    value /= base;
  } while (value != 0);
  for (int i = 0, j = n - 1; i < j; ++i, --j) {
    char t = out[i];
    out[i] = out[j];
    out[j] = t;
  }
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
};

void PutPaddedDigits(TSink& out, const char* digits, int width, char pad) {
  int count = static_cast<int>(strlen(digits));
  for (int i = width - count; i > 0 && !out.Full(); --i) out.Put(pad);
  for (int i = 0; i < count && !out.Full(); ++i) out.Put(digits[i]);
}

}  // namespace

int VFormat(char* buffer, int size, const char* format, va_list arguments) {
  TSink out = {buffer, static_cast<uint32_t>(size) - 1u, 0};
  const char* f = format;
  while (!out.Full() && *f != 0) {
    if (*f != '%') {
      out.Put(*f++);
      continue;
    }
    ++f;
    int width = 0;
    char pad = ' ';
    bool plus = false;
    bool widthAllowed = true;
    uint32_t base = 10;
    char scratch[20];
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
        if (text != nullptr)
          while (*text != 0 && !out.Full()) out.Put(*text++);
        break;
      } else if (c == 'd' || c == 'x' || c == 'X') {
        if (c != 'd') base = 16;
        int32_t value = va_arg(arguments, int32_t);
        uint32_t magnitude = static_cast<uint32_t>(value);
        if (value < 0) {
          out.Put('-');
          magnitude = 0u - magnitude;
        } else if (plus) {
          out.Put('+');
        }
        memset(scratch, 0, sizeof scratch);
        UnsignedDigits(magnitude, scratch, base);
        PutPaddedDigits(out, scratch, width, pad);
        break;
      } else if (c == 'u') {
        memset(scratch, 0, sizeof scratch);
        UnsignedDigits(va_arg(arguments, uint32_t), scratch, 10);
        PutPaddedDigits(out, scratch, width, pad);
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
