#ifndef VARNIX_TESTS_TOOL_JSON_VALUE_H
#define VARNIX_TESTS_TOOL_JSON_VALUE_H

// A strict JSON reader for checking what varnix-call prints: one value, as
// the JSON grammar has it, and nothing after it but white space.

#include <string>
#include <utility>
#include <vector>

namespace varnix {
namespace test {

struct JsonValue {
  enum Kind { ENull, EBool, ENumber, EString, EArray, EObject };
  Kind kind = ENull;
  bool boolean = false;
  std::string number;  // the number as written
  std::string text;    // a string's bytes: \u0000 to \u00ff give one byte each
  std::vector<JsonValue> items;
  std::vector<std::pair<std::string, JsonValue>> members;  // in order

  // A number written as an integer (no fraction, no exponent).
  bool IsInteger() const;
  long long Integer() const;
};

bool ParseJson(const std::string& text, JsonValue* value, std::string* problem);

}  // namespace test
}  // namespace varnix

#endif
