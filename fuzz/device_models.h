#ifndef VARNIX_FUZZ_DEVICE_MODELS_H
#define VARNIX_FUZZ_DEVICE_MODELS_H

// Reference readings of the device's files, written from their reading
// rules with the standard library, for the fuzz targets of the readers.

#include <stdint.h>

#include <algorithm>
#include <string>
#include <vector>

namespace varnix {
namespace fuzz {

inline bool IsSpace(int ch) { return ch == ' ' || (ch >= '\t' && ch <= '\r'); }
inline bool IsDigit(int ch) { return ch >= '0' && ch <= '9'; }

const int64_t KMagnitudeLimit = 1000000000000000LL;

inline int32_t Clamp32(int64_t v) { return v > INT32_MAX ? INT32_MAX : v < INT32_MIN ? INT32_MIN : static_cast<int32_t>(v); }

// Sign and digits at the start of text (no white space skipped); the
// magnitude stops at the limit. False when no digit comes.
inline bool Decimal(const std::string& text, size_t at, int64_t* value) {
  bool negative = false;
  if (at < text.size() && (text[at] == '-' || text[at] == '+')) negative = text[at++] == '-';
  if (at >= text.size() || !IsDigit(text[at])) return false;
  int64_t magnitude = 0;
  for (; at < text.size() && IsDigit(text[at]); ++at)
    if (magnitude < KMagnitudeLimit) magnitude = std::min<int64_t>(magnitude * 10 + (text[at] - '0'), KMagnitudeLimit);
  *value = negative ? -magnitude : magnitude;
  return true;
}

// The pieces fgets with a buffer of size gives, each cut at its first zero
// byte as the C string it becomes.
inline std::vector<std::string> Lines(const std::string& bytes, size_t size) {
  std::vector<std::string> lines;
  size_t at = 0;
  while (at < bytes.size()) {
    size_t n = 0;
    while (at + n < bytes.size() && n < size - 1) {
      ++n;
      if (bytes[at + n - 1] == '\n') break;
    }
    std::string piece = bytes.substr(at, n);
    lines.push_back(piece.substr(0, piece.find('\0')));
    at += n;
  }
  return lines;
}

}  // namespace fuzz
}  // namespace varnix

#endif
