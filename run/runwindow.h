#pragma once
// A test window with its run: the shell vel::TestWindow and the window's runner
// (ChoiceRunner, MovingRunner), made once the window has bound its layout. Closing or
// saving the window ends a run going on without its closing message.
#include <memory>

#include "records/testwindow.h"

namespace vel {

template <class TRunner>
class WindowWithRun : public TestWindow {
public:
    // The run of the window: "Старт теста", the polling tick, the key hook, tmr1Timer.
    TRunner &Runner() { return *m_runner; }

protected:
    using TestWindow::TestWindow;
    // After BindShell.
    void CreateRunner() { m_runner = std::make_unique<TRunner>(*this); }
    void StopRunIfGoing() override
    {
        if (m_runner)
            m_runner->StopQuietly();
    }

private:
    // Ends before the window's controls, which a run going on still uses at its stop.
    std::unique_ptr<TRunner> m_runner;
};

} // namespace vel
