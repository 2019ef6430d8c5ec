#include "help/isolated_call.h"

namespace help {

std::optional<std::string> RunIsolated(const std::function<std::optional<std::string>()>& work,
                                       std::size_t maxBytes, unsigned /*timeLimitSeconds*/) {
    try {
        std::optional<std::string> result = work();
        if (result && result->size() > maxBytes) return std::nullopt;
        return result;
    } catch (...) {
        return std::nullopt;
    }
}

}  // namespace help
