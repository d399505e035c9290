#ifndef VARNIX_MESSAGING_TEXT_HELPERS_H
#define VARNIX_MESSAGING_TEXT_HELPERS_H

/// @file
/// Small text and memory helpers of the messaging code. Texts are terminated
/// by a zero byte; lengths and results are 32-bit.

#include <stddef.h>
#include <stdint.h>

namespace varnix {

/// Number of bytes before the zero byte.
int32_t TextLength(const char* text);

/// Copies text with its zero byte; returns destination.
char* TextCopy(char* destination, const char* text);

/// Copies text with its zero byte over destination's zero byte; returns where
/// the appended text begins.
char* TextAppend(char* destination, const char* text);

/// Bytes compared as unsigned values: a's byte minus b's at the first
/// difference, 0 when both end together.
int32_t TextCompare(const char* a, const char* b);

/// 1 when text ends with suffix (case-sensitive), else 0; 0 also when the
/// suffix is the longer of the two.
int TextEndsWith(const char* text, const char* suffix);

/// Copies until the zero byte or n bytes have been copied, then writes a zero
/// byte after the last copied byte; destination holds n + 1 bytes. Returns
/// destination.
char* TextCopyBounded(char* destination, const char* text, int32_t n);

/// A heap copy of text (release with free), or null.
char* TextDuplicate(const char* text);

/// A zero-filled heap block (release with free), or null.
void* AllocZeroed(size_t size);

/// Suspends the caller for count microseconds.
void SleepMicroseconds(uint32_t count);

}  // namespace varnix

#endif
