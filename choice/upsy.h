#pragma once
// The choice reaction test window. Created once at start and reused for every test of
// that kind; hidden between uses. The shell (tabs, buttons, charts, protocol, printing)
// is vel::TestWindow's; this window adds its layout, its legend labels and its scoring.
#include <memory>

#include "records/testwindow.h"

namespace Ui { class TFormPsy; }
namespace vel::choice { class ChoiceRunner; }

class TFormPsy : public vel::TestWindow {
    Q_OBJECT
public:
    explicit TFormPsy(QWidget *parent = nullptr);
    ~TFormPsy() override;

    Ui::TFormPsy &ui() { return *m_ui; }
    // The run of the window: "Старт теста", the polling tick, the key hook, tmr1Timer.
    vel::choice::ChoiceRunner &Runner() { return *m_runner; }

protected:
    // Scores the run (vel::choice::ScoreRun) into chtL, chtR, wbRep and ConclusionText.
    void ScoreRun() override;
    // The legend labels stand beside the charts only on "График".
    void TabShown(int tab) override;

    // "Сохранить" and closing end a run first, without its closing message.
    void StopRunIfGoing() override;

private:
    std::unique_ptr<Ui::TFormPsy> m_ui;
    // Ends before the window's controls, which a run going on still uses at its stop.
    std::unique_ptr<vel::choice::ChoiceRunner> m_runner;
};
