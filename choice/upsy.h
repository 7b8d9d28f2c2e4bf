#pragma once
// The choice reaction test window. Created once at start and reused for every test of
// that kind; hidden between uses. The shell (tabs, buttons, charts, protocol, printing)
// is vel::TestWindow's; this window adds its layout, its legend labels and its scoring.
#include <memory>

#include "records/testwindow.h"

namespace Ui { class TFormPsy; }

class TFormPsy : public vel::TestWindow {
    Q_OBJECT
public:
    explicit TFormPsy(QWidget *parent = nullptr);
    ~TFormPsy() override;

    Ui::TFormPsy &ui() { return *m_ui; }

protected:
    // Scores the run (vel::choice::ScoreRun) into chtL, chtR, wbRep and ConclusionText.
    void ScoreRun() override;
    // The legend labels stand beside the charts only on "График".
    void TabShown(int tab) override;

    // The run of the window (btnTstClick, the polling tick, the key hook, tmr1Timer) binds
    // here; it overrides StopRunIfGoing() so that "Сохранить" and closing end a run first.

private:
    std::unique_ptr<Ui::TFormPsy> m_ui;
};
