#ifndef VARNIX_BASE_DYN_STRING_H
#define VARNIX_BASE_DYN_STRING_H

#include <stdint.h>

namespace varnix {

/// The one string type of the runtime: a bounded byte string whose capacity is
/// fixed when it is set up. Nothing grows it; text that does not fit is cut at
/// the capacity without notice. A terminator is written only by the operations
/// that are asked for a terminated text (Terminate, Text, CStr and the
/// ...Terminated forms).
///
/// Three storage forms share one header:
///   inline    the characters follow the header inside the object
///             (declare a CInlineString<N>);
///   view      the characters belong to someone else (WrapText, WrapChars,
///             MidView, LeftView, RightView, TailView);
///   heap      header and characters in one malloc block (Allocate, Clone),
///             released by its owner with free().
/// The character address is computed on every access, so an inline string
/// holds no pointer to itself and may be moved with a plain memory copy.
///
/// Positions and counts are not checked where noted; callers keep them within
/// 0..Length().
class CDynString {
 public:
  static const uint32_t KExternalFlag = 0x80000000u;
  static const uint32_t KReservedFlag = 0x40000000u;
  static const uint32_t KCapacityMask = 0x3FFFFFFFu;

  /// @name Set-up and storage
  ///@{
  void InitInline(int capacity);
  static CDynString WrapText(const char* text);
  static CDynString WrapChars(const char* chars, int n);
  static CDynString* Allocate(int n);
  CDynString* Clone() const;
  ///@}

  /// @name Access
  ///@{
  char* Data() { return (capacity & KExternalFlag) ? data.pointer : InlineChars(); }
  const char* Data() const {
    return (capacity & KExternalFlag) ? data.pointer : const_cast<CDynString*>(this)->InlineChars();
  }
  int Length() const { return length; }
  int Capacity() const { return static_cast<int>(capacity & KCapacityMask); }
  int CharAt(int i) const { return static_cast<unsigned char>(Data()[i]); }
  void SetCharAt(int i, int ch) { Data()[i] = static_cast<char>(ch); }
  void SetLength(int n);
  ///@}

  /// @name Terminated text
  ///@{
  char* Terminate();
  char* Text();
  char* CStr();
  ///@}

  /// @name Assigning and appending
  /// Everything is cut at the capacity.
  ///@{
  void Assign(const char* chars, int n);
  void Assign(const CDynString& other) { Assign(other.Data(), other.length); }
  void AssignText(const char* text);
  char* AssignTerminated(const CDynString& other);
  void AppendChars(const char* chars, int n);
  void AppendString(const CDynString& other) { AppendChars(other.Data(), other.length); }
  char* AppendTerminated(const CDynString& other);
  void AppendChar(int ch);
  void AppendRepeated(int ch, int n);
  void AppendInt(int32_t value);
  void AppendNumber(uint32_t value, int base);
  void SetInt(int32_t value);
  void SetNumber(uint32_t value, int base);
  ///@}

  /// @name Inserting and removing
  ///@{
  void Insert(int pos, const CDynString& other);
  void InsertChar(int pos, int ch);
  void Prepend(const CDynString& other) { Insert(0, other); }
  void Erase(int pos, int n);
  void TrimLeft();
  void TrimRight();
  void Trim();
  void ZeroFill();
  ///@}

  /// @name Views and copies
  /// Views share the source's characters and must not outlive them.
  ///@{
  static CDynString MidView(const CDynString& src, int pos, int n);
  static CDynString LeftView(const CDynString& src, int n);
  static CDynString RightView(const CDynString& src, int n);
  static CDynString TailView(const CDynString& src, int pos);
  void CopyMid(CDynString& dst, int pos, int n) const;
  void CopyTail(CDynString& dst, int pos) const;
  void CopyLast(CDynString& dst, int n) const;
  char* CopyTo(char* buffer, int size) const;
  ///@}

  /// @name Searching and comparing
  ///@{
  int IndexOfChar(int ch) const;
  int LastIndexOfChar(int ch) const;
  int FindChars(const char* chars, int n) const;
  int Find(const CDynString& other) const { return FindChars(other.Data(), other.length); }
  int Compare(const CDynString& other) const;
  ///@}

  /// Leading blanks and tabs, an optional sign, decimal digits; wraps silently.
  int32_t ToInt() const;

  /// @name Letter case
  /// Through the character tables (format.h).
  ///@{
  void ToUpper();
  void ToLower();
  void Fold();
  void Capitalize();
  int UpperCharAt(int i) const;
  int LowerCharAt(int i) const;
  int CompareNoCase(const CDynString& other) const;
  int CompareFolded(const CDynString& other) const;
  ///@}

  /// Formats into this string's own buffer (see VFormat); the result is
  /// terminated and at most Capacity() - 1 characters long.
  int Format(const char* format, ...) __attribute__((format(printf, 2, 3)));

 protected:
  CDynString() = default;

 private:
  static CDynString View(const char* chars, int n, int capacity);
  /// Views and heap strings; the characters of an inline string are its
  /// own, and a terminator is written into them without looking first (the
  /// bytes beyond the text may never have been written).
  bool IsExternal() const { return (capacity & KExternalFlag) != 0; }
  /// The inline buffer starts where the data field starts and runs on into
  /// the storage of CInlineString; the address is taken from the object, not
  /// from the union member, so that nothing reads it as an 8-byte array.
  ///@{
  char* InlineChars() { return reinterpret_cast<char*>(this) + KHeaderSize; }
  static const int KHeaderSize = 8;
  ///@}

  int32_t length;
  uint32_t capacity;
  union {
    char* pointer;                ///< external flag set
    char chars[sizeof(char*)];    ///< inline: the first bytes of the buffer
  } data;
};

static_assert(sizeof(int32_t) + sizeof(uint32_t) == 8, "header layout");

/// An inline string of capacity N: header and characters in one object.
template <int N>
class CInlineString : public CDynString {
 public:
  CInlineString() { InitInline(N); }

 private:
  static const int KExtra = N > static_cast<int>(sizeof(char*)) ? N - static_cast<int>(sizeof(char*)) : 1;
  char more[KExtra];
};

/// The capacities the runtime uses: paths, prefixes and file names hold at
/// most 255 characters plus a terminator; short generated names 15.
///@{
typedef CInlineString<256> CPathString;
typedef CInlineString<16> CShortString;
///@}

}  // namespace varnix

#endif
