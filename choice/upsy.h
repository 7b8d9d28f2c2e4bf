#pragma once
// The choice reaction test window. Created once at start and reused for every test of
// that kind; hidden between uses. The shell (tabs, buttons, charts, protocol, printing)
// is vel::TestWindow's; this window adds its layout, its legend labels, its stimuli and
// its scoring.
#include <memory>

#include "choice/choicerunner.h"
#include "run/runwindow.h"

namespace Ui { class TFormPsy; }

class TFormPsy : public vel::WindowWithRun<vel::choice::ChoiceRunner> {
    Q_OBJECT
public:
    explicit TFormPsy(QWidget *parent = nullptr);
    ~TFormPsy() override;

    // The green triangle imgSL (GreenKind), the red one imgSR (RedKind), else the blank
    // picture imgS0.
    void ShowStimulus(uint8_t kind) override;

protected:
    // Scores the run (vel::choice::ScoreRun) into chtL, chtR, wbRep and ConclusionText.
    void ScoreRun() override;
    // The legend labels stand beside the charts only on "График".
    void TabShown(int tab) override;

private:
    std::unique_ptr<Ui::TFormPsy> m_ui;
};
