// RunIsolated: what a child hands back, and what becomes of a child that fails in each way a
// library reading a damaged file can fail.
#include "help/isolated_call.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <stdexcept>
#include <string>

namespace {

using Result = std::optional<std::string>;

TEST(RunIsolated, HandsBackWhatTheChildProducedByteForByte) {
    std::string big(5 * 1024 * 1024 + 3, '\0');  // far more than a pipe holds at once
    for (std::size_t i = 0; i < big.size(); ++i) big[i] = static_cast<char>(i * 131 % 251);
    EXPECT_EQ(help::RunIsolated([&big] { return Result(big); }, big.size()), big);
    EXPECT_EQ(help::RunIsolated([] { return Result(""); }, 0), "");
}

TEST(RunIsolated, AFailingChildYieldsNothingAndLeavesThisProcessRunning) {
    const struct {
        const char* name;
        std::function<Result()> work;
        std::size_t maxBytes;
    } cases[] = {
        {"returns nothing", [] { return Result(); }, 16},
        {"throws", []() -> Result { throw std::runtime_error("x"); }, 16},
        {"aborts", []() -> Result { std::abort(); }, 16},
        {"is killed", [] { return raise(SIGKILL), Result("never"); }, 16},
        {"says too much", [] { return Result(std::string(17, 'x')); }, 16},
        {"says far too much", [] { return Result(std::string(4 * 1024 * 1024, 'x')); }, 1024},
    };
    for (const auto& c : cases)
        EXPECT_EQ(help::RunIsolated(c.work, c.maxBytes), std::nullopt) << c.name;
    // A child that never ends is stopped at the time limit.
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(help::RunIsolated(
                  []() -> Result {
                      for (;;) pause();
                  },
                  16, 1),
              std::nullopt);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
}

}  // namespace
