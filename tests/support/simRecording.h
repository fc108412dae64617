// Recording from the virtual bench as the program does it, for closed-loop tests.
#pragma once

#include <TSimDevice.h>

#include <gtest/gtest.h>

#include <chrono>
#include <thread>
#include <vector>

// Fetches `blocks` consecutive blocks of `block` samples of both inputs of a started bench and
// returns them joined, one vector per input. A block that does not arrive within `wait` fails
// the test (its samples are then those of the previous block).
inline std::vector<std::vector<double>> simRecordBlocks(TSimDevice& dev, int blocks, int block,
                                                        std::chrono::seconds wait = std::chrono::seconds(5))
{
    std::vector<std::vector<double>> all(2), part(2, std::vector<double>(size_t(block)));
    TsmView views[2] = {{part[0].data(), block}, {part[1].data(), block}};
    TsmView* ptrs[2] = {&views[0], &views[1]};
    for (int b = 0; b < blocks; ++b) {
        const auto until = std::chrono::steady_clock::now() + wait;
        bool got = false;
        while (!got && std::chrono::steady_clock::now() < until)
            if (!(got = dev.fetch(ptrs, 1) != 0))
                std::this_thread::sleep_for(std::chrono::microseconds(100));
        EXPECT_TRUE(got) << "block " << b;
        for (size_t c = 0; c < 2; ++c)
            all[c].insert(all[c].end(), part[c].begin(), part[c].end());
    }
    return all;
}
