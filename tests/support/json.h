// A small JSON reader, just enough for what our oracle scripts print (mdb-dump.mjs): objects keep
// their member order, numbers keep the text they were written with.
#pragma once

#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace fixture::json {

class Value {
  public:
    enum class Kind { Null, Bool, Number, String, Array, Object };

    Kind kind() const { return kind_; }
    bool IsNull() const { return kind_ == Kind::Null; }
    bool AsBool() const;
    double AsNumber() const;
    const std::string& NumberText() const;  // the number exactly as written
    const std::string& AsString() const;
    const std::vector<Value>& AsArray() const;
    const std::vector<std::pair<std::string, Value>>& AsObject() const;
    // The member called `key`; throws std::out_of_range when there is none.
    const Value& operator[](std::string_view key) const;
    bool Has(std::string_view key) const;

    static Value Null() { return Value(Kind::Null); }
    static Value Bool(bool b);
    static Value Number(std::string text);
    static Value String(std::string s);
    static Value Array(std::vector<Value> items);
    static Value Object(std::vector<std::pair<std::string, Value>> members);

  private:
    explicit Value(Kind kind) : kind_(kind) {}
    void Expect(Kind kind) const;

    Kind kind_ = Kind::Null;
    bool bool_ = false;
    std::string text_;  // string value, or the number's text
    std::vector<Value> items_;
    std::vector<std::pair<std::string, Value>> members_;
};

// Parses one JSON document (surrounding whitespace allowed); throws std::runtime_error with the
// offset of the first fault.
Value Parse(std::string_view text);

}  // namespace fixture::json
