// Random sequences of device calls read back the same, bit for bit, with the device's cheaper draw
// path and without it.
#include "DeviceCallSequence.h"
#include "platform/control.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

namespace {

// Ten tests of these many seeds each. The sanitizer build, there to find memory faults on the same
// roads, takes fewer: its runs are slower and their pixels are the plain build's.
#if defined(__SANITIZE_ADDRESS__)
constexpr int kSeedsPerTest = 12;
#else
constexpr int kSeedsPerTest = 30;
#endif
constexpr int kCalls = 300;

class DeviceCallSequences : public ::testing::TestWithParam<int> {};

TEST_P(DeviceCallSequences, ReadBackTheSameWithTheCheaperDrawPathAndWithout) {
    char folder[] = "/tmp/orvalen_sequence_XXXXXX";
    ASSERT_NE(nullptr, mkdtemp(folder));
    std::string failure;
    for (int seed = GetParam() * kSeedsPerTest; seed < (GetParam() + 1) * kSeedsPerTest && failure.empty();
         ++seed) {
        platform::ResetPlatform();
        device_sequence::SeededChoices cheaperChoices(static_cast<std::uint32_t>(seed));
        const device_sequence::Run cheaper = device_sequence::RunSequence(cheaperChoices, kCalls, folder);
        platform::UseCheaperDrawPath(false);
        device_sequence::SeededChoices referenceChoices(static_cast<std::uint32_t>(seed));
        const device_sequence::Run reference = device_sequence::RunSequence(referenceChoices, kCalls, folder);
        platform::UseCheaperDrawPath(true);
        EXPECT_EQ(0, platform::LiveObjectTotal()) << "seed " << seed;
        const std::string difference = device_sequence::FirstDifference(cheaper, reference);
        if (!difference.empty()) {
            failure = "seed " + std::to_string(seed) + ": " + difference;
        }
    }
    std::filesystem::remove_all(folder);
    EXPECT_TRUE(failure.empty()) << failure;
}

INSTANTIATE_TEST_SUITE_P(Seeds, DeviceCallSequences, ::testing::Range(0, 10));

} // namespace
