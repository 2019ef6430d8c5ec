// RunIsolated: what a child hands back, and what becomes of a child that fails in each way a
// library reading a damaged file can fail.
#include "help/isolated_call.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <stdexcept>

namespace {

using Result = std::optional<std::string>;

TEST(RunIsolated, HandsBackWhatTheChildMadeAndNothingWhenItFails) {
    std::string big(5 * 1024 * 1024 + 3, '\0');  // far more than a pipe holds at once
    for (std::size_t i = 0; i < big.size(); ++i) big[i] = static_cast<char>(i * 131 % 251);
    const struct {
        const char* name;
        std::function<Result()> work;
        std::size_t maxBytes;
        Result result;
    } cases[] = {
        {"byte for byte", [&big] { return Result(big); }, big.size(), big},
        {"empty", [] { return Result(""); }, 0, ""},
        {"returns nothing", [] { return Result(); }, 16, std::nullopt},
        {"throws", []() -> Result { throw std::runtime_error("x"); }, 16, std::nullopt},
        {"aborts", []() -> Result { std::abort(); }, 16, std::nullopt},
        {"is killed", [] { return raise(SIGKILL), Result("never"); }, 16, std::nullopt},
        {"says too much", [] { return Result(std::string(17, 'x')); }, 16, std::nullopt},
        {"says far too much", [] { return Result(std::string(4 << 20, 'x')); }, 1024, std::nullopt},
    };
    for (const auto& c : cases)
        EXPECT_EQ(help::RunIsolated(c.work, c.maxBytes), c.result) << c.name;
    // A child that never ends is stopped at the time limit.
    const auto start = std::chrono::steady_clock::now();
    const auto stuck = []() -> Result {
        for (;;) pause();
    };
    EXPECT_EQ(help::RunIsolated(stuck, 16, 1), std::nullopt);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
}

}  // namespace
