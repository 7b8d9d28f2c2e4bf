#pragma once
// The moving-object reaction test window. Created once at start and reused for every
// test of that kind; hidden between uses. The shell (tabs, buttons, charts, protocol,
// printing) is vel::TestWindow's; this window adds its layout and its scoring.
#include <functional>
#include <memory>

#include "records/testwindow.h"

namespace Ui { class TFormRDO; }

class TFormRDO : public vel::TestWindow {
    Q_OBJECT
public:
    explicit TFormRDO(QWidget *parent = nullptr);
    ~TFormRDO() override;

    Ui::TFormRDO &ui() { return *m_ui; }
    // Where the scoring reads the corridor of exact reactions (the settings page's field),
    // at every scoring; without it the default corridor applies.
    void SetCorridorText(std::function<QString()> text) { m_corridorText = std::move(text); }

protected:
    // Scores the run (vel::moving::ScoreRun) into chtL (Series3, lnsrsSeries1,
    // lnsrsSeries2), chtR (Series6), wbRep and ConclusionText; every series is emptied
    // first. Without presentations nothing changes.
    void ScoreRun() override;

    // The run of the window (btnTstClick, the polling tick, the key hook, tmr1Timer) binds
    // here; it overrides StopRunIfGoing() so that "Сохранить" and closing end a run first.

private:
    std::unique_ptr<Ui::TFormRDO> m_ui;
    std::function<QString()> m_corridorText;
};
