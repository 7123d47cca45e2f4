// A JSON document built in memory and written as text: objects keep their keys in the order they
// were added, numbers are written in the general number form (a value that is no finite number
// becomes null), strings as UTF-8 with the control characters escaped.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <variant>
#include <vector>

namespace zuka {

class JsonValue {
public:
    using TArray = std::vector<JsonValue>;
    using TObject = std::vector<std::pair<std::string, JsonValue>>;

    JsonValue() = default;  // null
    JsonValue(std::nullptr_t) {}
    JsonValue(bool b) : v_(b) {}
    JsonValue(int i) : v_(static_cast<double>(i)) {}
    JsonValue(std::int64_t i) : v_(static_cast<double>(i)) {}
    JsonValue(double d) : v_(d) {}
    JsonValue(std::string s) : v_(std::move(s)) {}
    JsonValue(const char* s) : v_(std::string(s)) {}

    static JsonValue Array() { return JsonValue(TArray{}); }
    static JsonValue Object() { return JsonValue(TObject{}); }
    // A number rounded to `decimals` places first (coordinates in mm to 0.001, hours to 1e-6).
    static JsonValue Rounded(double d, int decimals);
    // [x, y] of a plan point, mm to 0.001.
    static JsonValue Point(double x, double y);

    // Adds a member to an object (in order) and returns *this.
    JsonValue& Add(std::string key, JsonValue v);
    // Appends an item to an array and returns *this.
    JsonValue& Push(JsonValue v);
    // The member `key` of an object (added as null when missing).
    JsonValue& operator[](const std::string& key);

    bool IsNull() const { return std::holds_alternative<std::monostate>(v_); }
    std::size_t Size() const;

    // Two-space indentation; an array of numbers, strings and nulls only stays on one line.
    std::string Dump() const;

private:
    explicit JsonValue(TArray a) : v_(std::move(a)) {}
    explicit JsonValue(TObject o) : v_(std::move(o)) {}
    void DumpTo(std::string& out, int indent) const;

    std::variant<std::monostate, bool, double, std::string, TArray, TObject> v_;
};

// A JSON string literal: quotes, backslashes and control characters escaped.
std::string JsonString(const std::string& s);

}  // namespace zuka
