#pragma once
// One run of a reaction test, without widgets: the start, the ticks that present the
// schedule and close the presentations, the answers of both hands from the keyboard and
// the response console, the console watchdog and the stop. What differs between the
// tests is data (RunProfile) and a few overrides of a derived run (ChoiceRun, MovingRun):
// what a tick draws, the stored form of an answer, the live bar. The test window calls
// the run on its main thread and lets it act on the window through RunView; tests drive
// it with a fake view and a fake clock.
//
// A presentation passes through these phases:
//   Pause       until the pause after the previous presentation (or the first pause of
//               the run) is over; the next tick is the onset.
//   Presenting  from the onset: the stimulus is shown, the console's light switched, and
//               the start mark StartTick taken; answers are taken until the presentation
//               has lasted PresentationLengthMs from the start mark.
//   Closing     the answers are collected from the console; while it has sent nothing
//               the presentation stays open and every tick asks again, until the
//               watchdog stops the run.
// The pauses are not slept: ticks during them return at once, so that the window stays
// responsive and "Стоп теста" acts at once.
#include <QString>

#include <cstdint>
#include <memory>

#include "run/schedule.h"
#include "common/testrun.h"

namespace vel {

class ConsoleLink;

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

// What a run does to its window. Every call returns with the change on screen.
class RunView {
public:
    virtual ~RunView() = default;
    // Start: the progress label cleared and shown, the live chart shown empty, the
    // instructions hidden, "Стоп теста" on the start button, the controls that must not
    // be used during a run disabled, the result tabs and the title bar's buttons hidden.
    virtual void EnterRun() = 0;
    // A kind of the schedule: the onset of that stimulus. 0: the stimulus ends (the
    // blank picture of the choice test, the empty stage of the moving-object test).
    virtual void ShowStimulus(uint8_t kind) = 0;
    // The moving bar to `left` (moving-object test only).
    virtual void MoveBar(int left) { Q_UNUSED(left); }
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

// The figures of one test's run.
struct RunProfile {
    uint16_t BaseTimeMs = 0;             // the record's BaseTime
    uint16_t AnswerTimeMs = 0;           // the record's AnswerTime
    uint16_t PresentationLengthMs = 0;   // start mark to the end of a presentation
    // The console at the onset: the light of the kind (ConsoleLight) for OnsetLightMs,
    // then, when LightsOffAfterOnset, "ATL0,0,0" and the console's LightsOffPauseMs.
    uint32_t OnsetLightMs = 0;
    bool LightsOffAfterOnset = false;
    // The start mark is set this far back from the moment it is taken.
    uint32_t StartMarkBackMs = 0;
    // Wait after the answer requests "ATa" and "ATA".
    uint32_t AnswerRequestPauseMs = 0;
    // A press time reported by the console above this is taken as this - 1.
    uint32_t ConsoleTimeLimitMs = 65535;
    // A key press stamped before the start mark: true, no press (the answer keeps its
    // value); false, the answer becomes 0.
    bool EarlyPressKeepsAnswer = false;
    // The console watchdog: tested every WatchdogIntervalMs, stops the run after more
    // than WatchdogSilenceMs without a new start mark.
    int WatchdogIntervalMs = 1000;
    uint32_t WatchdogSilenceMs = 0;
    // The value axis of the live chart.
    int LiveChartMin = 0, LiveChartMax = 0;
};

// The console's light at the onset of a kind: green for FirstKind, red otherwise.
const char *ConsoleLight(uint8_t kind);

class ReactionRun {
public:
    enum class Phase { Idle, Pause, Presenting, Closing };

    // `record` is the window's run record; `link` its console link (none: keyboard only).
    ReactionRun(const RunProfile &profile, TTestRun &record, RunView &view, RunClock &clock,
                ConsoleLink *link);
    virtual ~ReactionRun() = default;

    const RunProfile &Profile() const { return m_profile; }

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
    // A Ctrl press of `hand` made at `pressTick`: while a presentation is open (CurrentKind
    // not 0) the hand's answer time becomes pressTick - StartTick; a press made before the
    // start mark is handled as EarlyPressKeepsAnswer says. A later press of the same hand
    // overwrites an earlier one.
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

protected:
    // Each tick of an open presentation, with its Elapsed (the choice test hides its
    // stimulus, the moving-object test moves its bar).
    virtual void Draw(uint16_t elapsed) { Q_UNUSED(elapsed); }
    // The presentation has ended, before its answers are collected.
    virtual void Ended() {}
    // Presentation k is counted and its answers stored (the moving-object test leaves
    // its bar where the answer stopped it).
    virtual void Closed(int k) { Q_UNUSED(k); }
    // The stored form of an answer time.
    virtual uint16_t StoredTime(uint16_t answer) const { return answer; }
    // Height of presentation k's bar on the live chart.
    virtual int LiveBar(int k) const = 0;

    RunView &View() { return m_view; }
    const TTestRun &Record() const { return m_record; }

private:
    // Closes the current presentation; false when the console had sent nothing, so that
    // the presentation stays open.
    bool FinishPresentation(bool stopping);
    void Onset();
    void Console(const char *command, uint32_t pauseMs);

    RunProfile m_profile;
    TTestRun &m_record;
    RunView &m_view;
    RunClock &m_clock;
    ConsoleLink *m_link;
    ScheduleDraw m_draw;

    Phase m_phase = Phase::Idle;
    bool m_stopping = false;
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

// A new run of type R (ChoiceRun, MovingRun) on a window's record, view, clock and
// console link: what a test window makes at each start of a run.
template <class R>
std::unique_ptr<ReactionRun> NewRun(TTestRun &record, RunView &view, RunClock &clock, ConsoleLink *link)
{
    return std::make_unique<R>(record, view, clock, link);
}

} // namespace vel
