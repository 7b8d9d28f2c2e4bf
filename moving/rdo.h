#pragma once
// The moving-object reaction test window. Created once at start and reused for every
// test of that kind; hidden between uses. The shell (tabs, buttons, charts, protocol,
// printing) is vel::TestWindow's; this window adds its layout and its scoring.
#include <functional>
#include <memory>

#include "records/testwindow.h"

namespace Ui { class TFormRDO; }
namespace vel::moving { class MovingRunner; }

class TFormRDO : public vel::TestWindow {
    Q_OBJECT
public:
    explicit TFormRDO(QWidget *parent = nullptr);
    ~TFormRDO() override;

    Ui::TFormRDO &ui() { return *m_ui; }
    // Where the scoring reads the corridor of exact reactions (the settings page's field),
    // at every scoring; without it the default corridor applies.
    void SetCorridorText(std::function<QString()> text) { m_corridorText = std::move(text); }
    // The run of the window: "Старт теста", the polling tick, the key hook, tmr1Timer.
    vel::moving::MovingRunner &Runner() { return *m_runner; }

protected:
    // Scores the run (vel::moving::ScoreRun) into chtL (Series3, lnsrsSeries1,
    // lnsrsSeries2), chtR (Series6), wbRep and ConclusionText; every series is emptied
    // first. Without presentations nothing changes.
    void ScoreRun() override;
    // "Сохранить" and closing end a run first, without its closing message.
    void StopRunIfGoing() override;

private:
    std::unique_ptr<Ui::TFormRDO> m_ui;
    std::function<QString()> m_corridorText;
    // Ends before the window's controls, which a run going on still uses at its stop.
    std::unique_ptr<vel::moving::MovingRunner> m_runner;
};
