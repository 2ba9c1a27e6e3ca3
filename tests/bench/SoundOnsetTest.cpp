// SPDX-License-Identifier: GPL-3.0-or-later
#include "SoundOnset.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

using Clock = SoundOnset::Clock;
using std::chrono::microseconds;
using std::chrono::nanoseconds;

constexpr int Rate = 16000; // one sample every 62.5 us

// The monitor's fragment reaches the benchmark when its last sample has been played: earlier
// samples are dated back by the samples after them, loud ones in either direction count, and
// only sound played after the key press is its answer.
TEST(SoundOnset, DatesTheFirstLoudSampleAfterTheKeyBackFromTheFragmentsArrival)
{
    SoundOnset onset(Rate, 100);
    const Clock::time_point t0 {};
    std::vector<int16_t> fragment(32, 0);
    fragment[4] = 99; // under the threshold: silence
    fragment[10] = -100;
    fragment[20] = 3000;

    onset.arm(t0);
    onset.feed(fragment, t0 + microseconds(2000));
    ASSERT_TRUE(onset.onset());
    // 21 samples after it: played 1312.5 us before the arrival.
    EXPECT_EQ(*onset.onset() - t0, nanoseconds(2'000'000 - 1'312'500));
    EXPECT_EQ(*onset.lastAudible() - t0, nanoseconds(2'000'000 - 687'500));

    // Pressed between the two loud samples: the earlier one is the last line's tail.
    onset.arm(t0 + microseconds(1000));
    EXPECT_FALSE(onset.onset()) << "arming forgets the last answer";
    onset.feed(fragment, t0 + microseconds(2000));
    EXPECT_EQ(*onset.onset() - t0, nanoseconds(1'312'500));

    // Nothing loud after the press: no answer, however much silence comes.
    onset.arm(t0 + microseconds(5000));
    onset.feed(std::vector<int16_t>(320, 50), t0 + microseconds(30000));
    EXPECT_FALSE(onset.onset());
    onset.feed(fragment, t0 + microseconds(32000));
    EXPECT_EQ(*onset.onset() - t0, nanoseconds(32'000'000 - 1'312'500));
}

} // namespace
