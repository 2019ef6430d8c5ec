#pragma once
// A failure of the program's own runtime (as opposed to the database engine's): a number and a
// description, in the form users of the product know them. Messages that show "number followed by
// description" show exactly these two, so their wording is part of the interface.

#include <stdexcept>
#include <string>

namespace platform {

class RuntimeError : public std::runtime_error {
  public:
    RuntimeError(int number, const std::string& description)
        : std::runtime_error(description), number_(number) {}
    int number() const { return number_; }
    std::string description() const { return what(); }

  private:
    int number_;
};

inline RuntimeError invalidProcedureCall() {
    return {5, "Invalid procedure call or argument"};
}
inline RuntimeError overflow() {
    return {6, "Overflow"};
}
inline RuntimeError typeMismatch() {
    return {13, "Type mismatch"};
}
inline RuntimeError invalidUseOfNull() {
    return {94, "Invalid use of Null"};
}
inline RuntimeError invalidPropertyValue() {
    return {380, "Invalid property value"};
}
inline RuntimeError invalidPropertyArrayIndex() {
    return {381, "Invalid property array index"};
}

}  // namespace platform
