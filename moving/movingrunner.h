#pragma once
// The run part of the moving-object test window: the shared TestRunner with a MovingRun,
// drawing on the white stage Panel1 the track picture imgSR (the green line at its
// centre) and the moving bar imgS0. The bar is moved only when its position changes, and
// only the strip it leaves and the strip it enters are painted, at once, so that what is
// on the screen is the position of the run clock's present moment.
#include "moving/movingrun.h"
#include "run/testrunner.h"

namespace vel::moving {

class MovingRunner : public TestRunner {
    Q_OBJECT
public:
    explicit MovingRunner(TestWindow &window);

private:
    void ShowStimulus(uint8_t kind) override;
    void MoveBar(int left) override;
};

} // namespace vel::moving
