#include "projectdb/connection_text.h"

namespace projectdb {

std::string TrimBlanks(const std::string& text) {
    const std::size_t first = text.find_first_not_of(' ');
    if (first == std::string::npos) return {};
    return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

std::string ConnectionText(const std::string& path, DatabaseState state) {
    std::string connection = TrimBlanks(path);
    if (state == kStateStandardPassword) connection += "|" + GetStandardPassword();
    return connection;
}

}  // namespace projectdb
