#pragma once
// The run record of both test windows: up to 200 presentations, indexed from 1.
#include <array>
#include <cstdint>

namespace vel {

constexpr int MaxPresentations = 200;

struct TTestRun {
    uint16_t BaseTime = 0;
    uint16_t AnswerTime = 0;
    uint16_t PlanCount = 0;
    uint16_t DoneCount = 0;
    // Element 0 is unused so that index i is presentation i, as everywhere in the tests.
    std::array<uint8_t, MaxPresentations + 1> Kinds{};
    std::array<int32_t, MaxPresentations + 1> Delays{};
    std::array<uint16_t, MaxPresentations + 1> LeftTimes{};
    std::array<uint16_t, MaxPresentations + 1> RightTimes{};

    void Clear() { *this = TTestRun{}; }
    bool operator==(const TTestRun &) const = default;
};

} // namespace vel
