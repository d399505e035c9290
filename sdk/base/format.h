#ifndef VARNIX_BASE_FORMAT_H
#define VARNIX_BASE_FORMAT_H

#include <stdarg.h>
#include <stdint.h>

namespace varnix {

/// The runtime's own formatter. Conversions: %s %c %d %u %x %X %%, the '+'
/// flag, a width of 1 to 99 padded with blanks, or "0" followed by one width
/// digit padded with zeros; 'h' and 'l' are skipped. Hexadecimal digits are
/// upper case and a negative number is written as a sign and its magnitude.
/// Any other character after '%' is written as it stands and takes no
/// argument. A format that ends inside a conversion ends the output there.
///
/// Writes at most size - 1 characters and always a terminator; returns the
/// number of characters written. size must be at least 1. A null text for %s
/// is written as nothing.
///@{
int VFormat(char* buffer, int size, const char* format, va_list arguments);
int FormatBuffer(char* buffer, int size, const char* format, ...) __attribute__((format(printf, 3, 4)));
///@}

/// Integer to text in base 2..36, most significant digit first, upper-case
/// letters, terminated; out needs 34 bytes in base 2 and 12 in base 10. A
/// base outside 2..36 gives an empty text.
///@{
char* IntToText(int32_t value, char* out, int base);
char* UnsignedToText(uint32_t value, char* out, int base);
///@}

/// Leading blanks and tabs, an optional sign, decimal digits up to the first
/// other character; no overflow detection (the value wraps).
int32_t TextToInt(const char* text);

/// ASCII character classes; 1 or 0.
///@{
int IsDigit(unsigned ch);
int IsLetter(unsigned ch);
int IsUpper(unsigned ch);
int IsLower(unsigned ch);
///@}

/// The three 256-entry tables of the runtime's 8-bit character set.
///@{
extern const unsigned char UpperCaseTable[256];
extern const unsigned char LowerCaseTable[256];
extern const unsigned char FoldingTable[256];
///@}

/// One character through a table; values above 255 come back unchanged.
///@{
unsigned UpperChar(unsigned ch);
unsigned LowerChar(unsigned ch);
unsigned FoldChar(unsigned ch);
const unsigned char* FoldTable();
///@}

/// First position at which needle matches haystack, both taken through the
/// folding table; 0 for an empty needle, -1 when not found.
int FindFolded(const char* haystack, int haystackLength, const char* needle, int needleLength);

/// Terminated texts through the C library's toupper and isalnum.
///@{
char* UpperText(char* text);
int CompareNoCaseN(const char* a, const char* b, int n);
void DotNonAlnum(char* text);
char* SafeCopy(char* dst, const char* src, int size);
///@}

}  // namespace varnix

#endif
