#include "json_value.h"

#include <stdlib.h>

namespace varnix {
namespace test {
namespace {

class Reader {
 public:
  explicit Reader(const std::string& text) : text_(text) {}

  bool Document(JsonValue* value) {
    SkipSpace();
    if (!Value(value, 0)) return false;
    SkipSpace();
    return at_ == text_.size() || Fail("text after the value");
  }
  std::string Problem() const { return problem_ + " at byte " + std::to_string(at_); }

 private:
  bool Fail(const std::string& problem) {
    if (problem_.empty()) problem_ = problem;
    return false;
  }
  void SkipSpace() {
    while (at_ < text_.size() && (text_[at_] == ' ' || text_[at_] == '\t' || text_[at_] == '\n' || text_[at_] == '\r'))
      ++at_;
  }
  bool Literal(const char* word) {
    std::string w(word);
    if (text_.compare(at_, w.size(), w) != 0) return Fail("bad literal");
    at_ += w.size();
    return true;
  }
  bool Digits() {
    size_t start = at_;
    while (at_ < text_.size() && text_[at_] >= '0' && text_[at_] <= '9') ++at_;
    return at_ > start || Fail("digit expected");
  }

  bool Value(JsonValue* value, int depth) {
    if (depth > 64) return Fail("nested too deep");
    if (at_ >= text_.size()) return Fail("value expected");
    char c = text_[at_];
    if (c == 'n') {
      value->kind = JsonValue::ENull;
      return Literal("null");
    }
    if (c == 't' || c == 'f') {
      value->kind = JsonValue::EBool;
      value->boolean = c == 't';
      return Literal(c == 't' ? "true" : "false");
    }
    if (c == '"') {
      value->kind = JsonValue::EString;
      return String(&value->text);
    }
    if (c == '[') return Array(value, depth);
    if (c == '{') return Object(value, depth);
    if (c == '-' || (c >= '0' && c <= '9')) return Number(value);
    return Fail("value expected");
  }

  bool Number(JsonValue* value) {
    size_t start = at_;
    if (text_[at_] == '-') ++at_;
    if (at_ < text_.size() && text_[at_] == '0') {
      ++at_;
    } else if (!Digits()) {
      return false;
    }
    if (at_ < text_.size() && text_[at_] == '.') {
      ++at_;
      if (!Digits()) return false;
    }
    if (at_ < text_.size() && (text_[at_] == 'e' || text_[at_] == 'E')) {
      ++at_;
      if (at_ < text_.size() && (text_[at_] == '+' || text_[at_] == '-')) ++at_;
      if (!Digits()) return false;
    }
    value->kind = JsonValue::ENumber;
    value->number = text_.substr(start, at_ - start);
    return true;
  }

  static void PutCodePoint(unsigned code, std::string* out) {
    if (code < 0x100) {
      *out += static_cast<char>(code);
    } else if (code < 0x800) {
      *out += static_cast<char>(0xC0 | (code >> 6));
      *out += static_cast<char>(0x80 | (code & 0x3F));
    } else {
      *out += static_cast<char>(0xE0 | (code >> 12));
      *out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
      *out += static_cast<char>(0x80 | (code & 0x3F));
    }
  }

  bool String(std::string* out) {
    ++at_;  // the opening quote
    for (;;) {
      if (at_ >= text_.size()) return Fail("unterminated string");
      unsigned char c = static_cast<unsigned char>(text_[at_++]);
      if (c == '"') return true;
      if (c < 0x20) return Fail("raw control character in a string");
      if (c != '\\') {
        *out += static_cast<char>(c);
        continue;
      }
      if (at_ >= text_.size()) return Fail("unterminated escape");
      char e = text_[at_++];
      switch (e) {
        case '"': *out += '"'; break;
        case '\\': *out += '\\'; break;
        case '/': *out += '/'; break;
        case 'b': *out += '\b'; break;
        case 'f': *out += '\f'; break;
        case 'n': *out += '\n'; break;
        case 'r': *out += '\r'; break;
        case 't': *out += '\t'; break;
        case 'u': {
          if (at_ + 4 > text_.size()) return Fail("short \\u escape");
          unsigned code = 0;
          for (int i = 0; i < 4; ++i) {
            char h = text_[at_++];
            code <<= 4;
            if (h >= '0' && h <= '9') code |= static_cast<unsigned>(h - '0');
            else if (h >= 'a' && h <= 'f') code |= static_cast<unsigned>(h - 'a' + 10);
            else if (h >= 'A' && h <= 'F') code |= static_cast<unsigned>(h - 'A' + 10);
            else return Fail("bad \\u escape");
          }
          PutCodePoint(code, out);
          break;
        }
        default:
          return Fail("bad escape");
      }
    }
  }

  bool Array(JsonValue* value, int depth) {
    value->kind = JsonValue::EArray;
    ++at_;
    SkipSpace();
    if (at_ < text_.size() && text_[at_] == ']') {
      ++at_;
      return true;
    }
    for (;;) {
      SkipSpace();
      value->items.emplace_back();
      if (!Value(&value->items.back(), depth + 1)) return false;
      SkipSpace();
      if (at_ >= text_.size()) return Fail("unterminated array");
      char c = text_[at_++];
      if (c == ']') return true;
      if (c != ',') return Fail("',' or ']' expected");
    }
  }

  bool Object(JsonValue* value, int depth) {
    value->kind = JsonValue::EObject;
    ++at_;
    SkipSpace();
    if (at_ < text_.size() && text_[at_] == '}') {
      ++at_;
      return true;
    }
    for (;;) {
      SkipSpace();
      if (at_ >= text_.size() || text_[at_] != '"') return Fail("member name expected");
      std::string name;
      if (!String(&name)) return false;
      SkipSpace();
      if (at_ >= text_.size() || text_[at_++] != ':') return Fail("':' expected");
      SkipSpace();
      value->members.emplace_back(name, JsonValue());
      if (!Value(&value->members.back().second, depth + 1)) return false;
      SkipSpace();
      if (at_ >= text_.size()) return Fail("unterminated object");
      char c = text_[at_++];
      if (c == '}') return true;
      if (c != ',') return Fail("',' or '}' expected");
    }
  }

  const std::string& text_;
  size_t at_ = 0;
  std::string problem_;
};

}  // namespace

bool JsonValue::IsInteger() const {
  return kind == ENumber && number.find_first_of(".eE") == std::string::npos;
}

long long JsonValue::Integer() const { return strtoll(number.c_str(), nullptr, 10); }

bool ParseJson(const std::string& text, JsonValue* value, std::string* problem) {
  Reader reader(text);
  *value = JsonValue();
  if (reader.Document(value)) return true;
  if (problem != nullptr) *problem = reader.Problem();
  return false;
}

}  // namespace test
}  // namespace varnix
