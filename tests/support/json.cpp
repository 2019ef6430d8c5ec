#include "tests/support/json.h"

#include <cstdlib>
#include <stdexcept>

namespace fixture::json {

bool Value::AsBool() const {
    Expect(Kind::Bool);
    return bool_;
}
double Value::AsNumber() const {
    Expect(Kind::Number);
    return std::strtod(text_.c_str(), nullptr);
}
const std::string& Value::NumberText() const {
    Expect(Kind::Number);
    return text_;
}
const std::string& Value::AsString() const {
    Expect(Kind::String);
    return text_;
}
const std::vector<Value>& Value::AsArray() const {
    Expect(Kind::Array);
    return items_;
}
const std::vector<std::pair<std::string, Value>>& Value::AsObject() const {
    Expect(Kind::Object);
    return members_;
}
const Value& Value::operator[](std::string_view key) const {
    for (const auto& [name, value] : AsObject()) {
        if (name == key) return value;
    }
    throw std::out_of_range("no JSON member " + std::string(key));
}
bool Value::Has(std::string_view key) const {
    for (const auto& member : AsObject()) {
        if (member.first == key) return true;
    }
    return false;
}
Value Value::Bool(bool b) {
    Value v(Kind::Bool);
    v.bool_ = b;
    return v;
}
Value Value::Number(std::string text) {
    Value v(Kind::Number);
    v.text_ = std::move(text);
    return v;
}
Value Value::String(std::string s) {
    Value v(Kind::String);
    v.text_ = std::move(s);
    return v;
}
Value Value::Array(std::vector<Value> items) {
    Value v(Kind::Array);
    v.items_ = std::move(items);
    return v;
}
Value Value::Object(std::vector<std::pair<std::string, Value>> members) {
    Value v(Kind::Object);
    v.members_ = std::move(members);
    return v;
}
void Value::Expect(Kind kind) const {
    if (kind_ != kind) throw std::runtime_error("JSON value of another kind");
}

namespace {

constexpr int kMaxDepth = 256;

class Parser {
  public:
    explicit Parser(std::string_view text) : text_(text) {}

    Value Document() {
        Value v = Any(0);
        SkipSpace();
        if (pos_ != text_.size()) Fail("trailing characters");
        return v;
    }

  private:
    [[noreturn]] void Fail(const std::string& what) const {
        throw std::runtime_error("JSON: " + what + " at offset " + std::to_string(pos_));
    }
    void SkipSpace() {
        while (pos_ < text_.size() && (text_[pos_] == ' ' || text_[pos_] == '\n' ||
                                       text_[pos_] == '\r' || text_[pos_] == '\t')) {
            ++pos_;
        }
    }
    char Peek() {
        SkipSpace();
        if (pos_ >= text_.size()) Fail("unexpected end");
        return text_[pos_];
    }
    void Literal(std::string_view word) {
        if (text_.substr(pos_, word.size()) != word) Fail("bad literal");
        pos_ += word.size();
    }

    Value Any(int depth) {
        if (depth > kMaxDepth) Fail("nesting too deep");
        const char c = Peek();
        switch (c) {
            case '{':
                return ObjectValue(depth);
            case '[':
                return ArrayValue(depth);
            case '"':
                return Value::String(StringText());
            case 't':
                Literal("true");
                return Value::Bool(true);
            case 'f':
                Literal("false");
                return Value::Bool(false);
            case 'n':
                Literal("null");
                return Value::Null();
            default:
                return NumberValue();
        }
    }

    Value ObjectValue(int depth) {
        ++pos_;
        std::vector<std::pair<std::string, Value>> members;
        if (Peek() == '}') {
            ++pos_;
            return Value::Object(std::move(members));
        }
        while (true) {
            if (Peek() != '"') Fail("expected a member name");
            std::string name = StringText();
            if (Peek() != ':') Fail("expected ':'");
            ++pos_;
            members.emplace_back(std::move(name), Any(depth + 1));
            const char next = Peek();
            ++pos_;
            if (next == '}') return Value::Object(std::move(members));
            if (next != ',') Fail("expected ',' or '}'");
        }
    }

    Value ArrayValue(int depth) {
        ++pos_;
        std::vector<Value> items;
        if (Peek() == ']') {
            ++pos_;
            return Value::Array(std::move(items));
        }
        while (true) {
            items.push_back(Any(depth + 1));
            const char next = Peek();
            ++pos_;
            if (next == ']') return Value::Array(std::move(items));
            if (next != ',') Fail("expected ',' or ']'");
        }
    }

    Value NumberValue() {
        const std::size_t start = pos_;
        if (pos_ < text_.size() && text_[pos_] == '-') ++pos_;
        const std::size_t digits = pos_;
        while (pos_ < text_.size() &&
               std::string_view("0123456789.eE+-").find(text_[pos_]) != std::string_view::npos) {
            ++pos_;
        }
        if (pos_ == digits) Fail("unexpected character");
        std::string number(text_.substr(start, pos_ - start));
        char* end = nullptr;
        std::strtod(number.c_str(), &end);
        if (end != number.c_str() + number.size()) Fail("malformed number");
        return Value::Number(std::move(number));
    }

    unsigned Hex4() {
        if (text_.size() - pos_ < 4) Fail("short \\u escape");
        unsigned v = 0;
        for (int i = 0; i < 4; ++i) {
            const char h = text_[pos_++];
            v <<= 4;
            if (h >= '0' && h <= '9') {
                v |= static_cast<unsigned>(h - '0');
            } else if (h >= 'a' && h <= 'f') {
                v |= static_cast<unsigned>(h - 'a' + 10);
            } else if (h >= 'A' && h <= 'F') {
                v |= static_cast<unsigned>(h - 'A' + 10);
            } else {
                Fail("bad \\u escape");
            }
        }
        return v;
    }

    static void AppendUtf8(std::string& out, unsigned cp) {
        if (cp < 0x80) {
            out += static_cast<char>(cp);
        } else if (cp < 0x800) {
            out += static_cast<char>(0xC0 | (cp >> 6));
            out += static_cast<char>(0x80 | (cp & 0x3F));
        } else if (cp < 0x10000) {
            out += static_cast<char>(0xE0 | (cp >> 12));
            out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (cp & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | (cp >> 18));
            out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (cp & 0x3F));
        }
    }

    std::string StringText() {
        ++pos_;  // opening quote
        std::string out;
        while (true) {
            if (pos_ >= text_.size()) Fail("unterminated string");
            const char c = text_[pos_++];
            if (c == '"') return out;
            if (static_cast<unsigned char>(c) < 0x20) Fail("control character in string");
            if (c != '\\') {
                out += c;
                continue;
            }
            if (pos_ >= text_.size()) Fail("unterminated escape");
            const char e = text_[pos_++];
            switch (e) {
                case '"':
                    out += '"';
                    break;
                case '\\':
                    out += '\\';
                    break;
                case '/':
                    out += '/';
                    break;
                case 'b':
                    out += '\b';
                    break;
                case 'f':
                    out += '\f';
                    break;
                case 'n':
                    out += '\n';
                    break;
                case 'r':
                    out += '\r';
                    break;
                case 't':
                    out += '\t';
                    break;
                case 'u': {
                    unsigned cp = Hex4();
                    if (cp >= 0xD800 && cp <= 0xDBFF && text_.substr(pos_, 2) == "\\u") {
                        pos_ += 2;
                        const unsigned low = Hex4();
                        if (low < 0xDC00 || low > 0xDFFF) Fail("unpaired surrogate");
                        cp = 0x10000 + ((cp - 0xD800) << 10) + (low - 0xDC00);
                    } else if (cp >= 0xD800 && cp <= 0xDFFF) {
                        cp = 0xFFFD;  // a lone surrogate cannot be UTF-8
                    }
                    AppendUtf8(out, cp);
                    break;
                }
                default:
                    Fail("bad escape");
            }
        }
    }

    std::string_view text_;
    std::size_t pos_ = 0;
};

}  // namespace

Value Parse(std::string_view text) {
    return Parser(text).Document();
}

}  // namespace fixture::json
