// RunIsolated: what a child hands back, and what becomes of a child that fails in each way a
// library reading a damaged file can fail.
#include "help/isolated_call.h"

#include <gtest/gtest.h>
#include <signal.h>

#include <chrono>
#include <cstdlib>
#include <stdexcept>
#include <string>

namespace {

TEST(RunIsolated, HandsBackWhatTheChildProducedByteForByte) {
    std::string big(5 * 1024 * 1024 + 3, '\0');  // far more than a pipe holds at once
    for (std::size_t i = 0; i < big.size(); ++i) big[i] = static_cast<char>(i * 131 % 251);
    EXPECT_EQ(help::RunIsolated([&big] { return std::optional<std::string>(big); }, big.size()),
              big);
    EXPECT_EQ(help::RunIsolated([] { return std::optional<std::string>(""); }, 0), "");
}

TEST(RunIsolated, AFailingChildYieldsNothingAndLeavesThisProcessRunning) {
    struct Case {
        const char* name;
        std::function<std::optional<std::string>()> work;
        std::size_t maxBytes;
    };
    const Case cases[] = {
        {"returns nothing", [] { return std::optional<std::string>(); }, 16},
        {"throws", []() -> std::optional<std::string> { throw std::runtime_error("x"); }, 16},
        {"aborts", []() -> std::optional<std::string> { std::abort(); }, 16},
        {"is killed",
         []() -> std::optional<std::string> {
             raise(SIGKILL);
             return "never";
         },
         16},
        {"says too much", [] { return std::optional<std::string>(std::string(17, 'x')); }, 16},
        {"says far too much",
         [] { return std::optional<std::string>(std::string(4 * 1024 * 1024, 'x')); }, 1024},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(help::RunIsolated(c.work, c.maxBytes), std::nullopt) << c.name;
    }
}

TEST(RunIsolated, AChildThatNeverEndsIsStoppedAtTheTimeLimit) {
    const auto start = std::chrono::steady_clock::now();
    const std::optional<std::string> result = help::RunIsolated(
        []() -> std::optional<std::string> {
            for (;;) pause();
        },
        16, 1);
    EXPECT_EQ(result, std::nullopt);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
}

}  // namespace
