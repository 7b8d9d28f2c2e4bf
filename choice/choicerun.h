#pragma once
// One run of the choice reaction test, without widgets: the start, the ticks that show
// the stimuli and close the presentations, the answers of both hands from the keyboard
// and the response console, the console watchdog and the stop. The test window calls it
// on its main thread and lets it act on the window through ChoiceRunView; tests drive it
// with a fake view and a fake clock.
//
// A presentation passes through these phases:
//   Pause       blank screen until the pause after the previous presentation (or the
//               first pause of the run) is over; the next tick is the onset.
//   Presenting  from the onset: the stimulus is shown, the console's light pulsed, and
//               the start mark StartTick taken; answers are taken until the presentation
//               has lasted PresentationLengthMs from the start mark. The stimulus is
//               hidden on the first tick more than StimulusShownMs after the start mark.
//   Closing     the answers are collected from the console; while it has sent nothing
//               the presentation stays open and every tick asks again, until the
//               watchdog stops the run.
// The pause is not slept: ticks during it return at once, so that the window stays
// responsive and "Стоп теста" acts at once.
#include <QString>

#include <cstdint>

#include "choice/schedule.h"
#include "store/common/testrun.h"

namespace vel {
class ConsoleLink;
}

namespace vel::choice {

enum class Hand { Left, Right };

// The millisecond tick count the run is timed by (TickCount in the program).
class RunClock {
public:
    virtual ~RunClock() = default;
    virtual uint32_t Now() = 0;
};

class SystemRunClock : public RunClock {
public:
    uint32_t Now() override;
};

// What the run does to its window. Every call returns with the change on screen.
class ChoiceRunView {
public:
    virtual ~ChoiceRunView() = default;
    // Start: the progress label cleared and shown, the live chart shown empty with its
    // value axis 0..AnswerTimeMs, the instructions hidden, "Стоп теста" on the start
    // button, the controls that must not be used during a run disabled, the result tabs
    // and the title bar's buttons hidden.
    virtual void EnterRun() = 0;
    // 0: the blank picture; GreenKind, RedKind: that stimulus.
    virtual void ShowStimulus(uint8_t kind) = 0;
    virtual void AddLiveBar(int presentation, int height) = 0;
    virtual void SetProgress(const QString &text) = 0;
    virtual void SetWatchdog(bool on) = 0;   // the timer that calls WatchdogCheck
    virtual void SetPolling(bool on) = 0;    // the thread that calls Tick
    virtual void SetKeyHook(bool on) = 0;    // the hook that calls KeyAnswer
    virtual void Beep() = 0;
    // Stop, first step: the live chart and the progress label hidden, "Старт теста" on
    // the start button, which stays disabled until RunFinished.
    virtual void StopDisplay() = 0;
    // Stop: the instructions, controls, result tabs and title bar's buttons back.
    virtual void LeaveRun() = 0;
    // The run is over and its record written: the message "Тест завершен!", then the
    // start button enabled. `quiet`: the window is closing, no message.
    virtual void RunFinished(bool quiet) = 0;
};

class ChoiceRun {
public:
    enum class Phase { Idle, Pause, Presenting, Closing };

    // `record` is the window's run record; `link` its console link (none: keyboard only).
    ChoiceRun(TTestRun &record, ChoiceRunView &view, RunClock &clock, ConsoleLink *link);

    // Where the schedule's draws come from; a generator seeded from the clock by default.
    void SetScheduleDraw(ScheduleDraw draw) { m_draw = std::move(draw); }

    // Identifies the console on `portName`, draws the schedule for the planned count read
    // from `plannedCountText` (PlannedCountOf) and starts the pause before the first
    // presentation. Nothing happens while a run is going on.
    void StartRun(const QString &portName, const QString &plannedCountText);
    // Ends the run, early or after the last presentation: a presentation in progress is
    // closed with the answers held at that moment (with a console, only when it has sent
    // them), the record's header is written and RunFinished called. `quiet`: without the
    // message (the window is closing).
    void StopRun(bool quiet = false);
    // The periodic step; does nothing when no run is going on.
    void Tick();
    // The console watchdog: stops a run with a console after more than WatchdogSilenceMs
    // without a new start mark.
    void WatchdogCheck();
    // A Ctrl press of `hand` made at `pressTick`: while a stimulus is up (CurrentKind not
    // 0) the hand's answer time becomes pressTick - StartTick, or 0 for a press made
    // before the start mark. A later press of the same hand overwrites an earlier one.
    void KeyAnswer(Hand hand, uint32_t pressTick);
    // The console went away during the run: the run goes on with the keyboard.
    void ConsoleLost();

    bool Running() const { return m_phase != Phase::Idle; }
    Phase CurrentPhase() const { return m_phase; }
    uint8_t CurrentKind() const { return m_currentKind; }
    uint32_t StartTick() const { return m_startTick; }
    uint16_t Elapsed() const { return m_elapsed; }
    uint16_t LeftAnswer() const { return m_leftAnswer; }
    uint16_t RightAnswer() const { return m_rightAnswer; }
    int PlannedCount() const { return m_plannedCount; }
    int DoneCount() const { return m_doneCount; }
    bool ConsoleFound() const;

private:
    // Closes the current presentation; false when the console had sent nothing, so that
    // the presentation stays open.
    bool FinishPresentation(bool stopping);
    void Onset();
    void Console(const char *command, uint32_t pauseMs);

    TTestRun &m_record;
    ChoiceRunView &m_view;
    RunClock &m_clock;
    ConsoleLink *m_link;
    ScheduleDraw m_draw;

    Phase m_phase = Phase::Idle;
    bool m_stopping = false;
    bool m_stimulusShown = false;
    bool m_beepAtOnset = false;
    uint32_t m_startTick = 0;
    uint32_t m_pauseUntil = 0;
    uint16_t m_elapsed = 0;
    uint8_t m_currentKind = 0;
    uint16_t m_leftAnswer = 0;
    uint16_t m_rightAnswer = 0;
    int m_plannedCount = 0;
    int m_doneCount = 0;
};

} // namespace vel::choice
