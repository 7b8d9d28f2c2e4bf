#pragma once
// The moving-object reaction test window. Created once at start and reused for every
// test of that kind; hidden between uses. The shell (tabs, buttons, charts, protocol,
// printing) is vel::TestWindow's; this window adds its layout, its stimuli and its
// scoring.
#include <functional>
#include <memory>

#include "moving/movingrunner.h"
#include "run/runwindow.h"

namespace Ui { class TFormRDO; }

class TFormRDO : public vel::WindowWithRun<vel::moving::MovingRunner> {
    Q_OBJECT
public:
    explicit TFormRDO(QWidget *parent = nullptr);
    ~TFormRDO() override;

    // Where the scoring reads the corridor of exact reactions (the settings page's field),
    // at every scoring; without it the default corridor applies.
    void SetCorridorText(std::function<QString()> text) { m_corridorText = std::move(text); }

    // On the white stage Panel1: the track picture imgSR (the green line at its centre)
    // placed for the kind and the bar imgS0 at its start over it; 0 empties the stage.
    // The bar is moved only when its position changes, and only the strip it leaves and
    // the strip it enters are painted, at once, so that what is on the screen is the
    // position of the run clock's present moment.
    void ShowStimulus(uint8_t kind) override;
    void MoveBar(int left) override;

protected:
    // Scores the run (vel::moving::ScoreRun) into chtL (Series3, lnsrsSeries1,
    // lnsrsSeries2), chtR (Series6), wbRep and ConclusionText; every series is emptied
    // first. Without presentations nothing changes.
    void ScoreRun() override;

private:
    std::unique_ptr<Ui::TFormRDO> m_ui;
    std::function<QString()> m_corridorText;
};
