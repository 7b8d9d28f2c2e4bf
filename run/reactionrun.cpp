#include "run/reactionrun.h"

#include <algorithm>

#include "console/consolelink.h"
#include "console/consolereply.h"
#include "common/clock.h"

namespace vel {

namespace {

// Milliseconds from `from` to `to` on the wrapping 32-bit tick count; negative when `to`
// comes first.
int32_t TicksBetween(uint32_t from, uint32_t to) { return int32_t(to - from); }

uint16_t Clamp16(int64_t ms) { return uint16_t(std::clamp<int64_t>(ms, 0, 65535)); }

} // namespace

uint32_t SystemRunClock::Now() { return TickCount(); }

const char *ConsoleLight(uint8_t kind) { return kind == FirstKind ? CmdGreenLight : CmdRedLight; }

ReactionRun::ReactionRun(const RunProfile &profile, TTestRun &record, RunView &view, RunClock &clock,
                         ConsoleLink *link)
    : m_profile(profile), m_record(record), m_view(view), m_clock(clock), m_link(link)
{
}

bool ReactionRun::ConsoleFound() const { return m_link && m_link->ConsoleFound(); }

void ReactionRun::Console(const char *command, uint32_t pauseMs)
{
    if (ConsoleFound())
        m_link->SendCommand(command, pauseMs);
}

void ReactionRun::StartRun(const QString &portName, const QString &plannedCountText)
{
    if (Running())
        return;
    m_stopping = false;
    m_view.EnterRun();
    if (m_link && m_link->IdentifyConsole(portName))
        m_view.SetWatchdog(true);

    m_plannedCount = PlannedCountOf(plannedCountText);
    BuildSchedule(m_record, m_plannedCount, m_draw ? m_draw : ClockSeededDraw());
    m_doneCount = 0;
    m_elapsed = 0;
    m_currentKind = 0;

    m_beepAtOnset = true;
    m_phase = Phase::Pause;
    m_startTick = m_clock.Now();
    m_pauseUntil = m_startTick + FirstPauseMs;
    m_view.SetKeyHook(true);
    m_view.SetPolling(true);
}

void ReactionRun::Tick()
{
    if (m_phase == Phase::Idle || m_stopping)
        return;
    const uint32_t now = m_clock.Now();
    if (m_phase == Phase::Pause) {
        if (TicksBetween(m_pauseUntil, now) < 0)
            return;
        if (m_beepAtOnset) {
            m_beepAtOnset = false;
            m_view.Beep();
        }
        Onset();
        return;
    }
    m_elapsed = Clamp16(TicksBetween(m_startTick, now));
    if (m_elapsed >= m_profile.PresentationLengthMs) {
        FinishPresentation(false);
        return;
    }
    if (m_phase == Phase::Presenting)
        Draw(m_elapsed);
}

void ReactionRun::Onset()
{
    m_leftAnswer = m_profile.PresentationLengthMs;   // a hand that gives no answer
    m_rightAnswer = m_profile.PresentationLengthMs;
    m_currentKind = m_record.Kinds[std::min(m_doneCount + 1, MaxPresentations)];
    // Replies to requests repeated for the last presentation must not pass for this one's.
    if (ConsoleFound())
        m_link->DropStaleReplies();
    // Drawn first: the start mark is taken once the stimulus is on the screen.
    m_view.ShowStimulus(m_currentKind);
    Console(ConsoleLight(m_currentKind), m_profile.OnsetLightMs);
    if (m_profile.LightsOffAfterOnset)
        Console(CmdLightsOff, LightsOffPauseMs);
    m_startTick = m_clock.Now() - m_profile.StartMarkBackMs;
    m_elapsed = 0;
    m_phase = Phase::Presenting;
    Draw(Clamp16(TicksBetween(m_startTick, m_clock.Now())));
}

bool ReactionRun::FinishPresentation(bool stopping)
{
    m_currentKind = 0;
    if (m_phase == Phase::Presenting)
        Ended();
    m_phase = Phase::Closing;
    if (ConsoleFound()) {
        if (!stopping)
            m_link->RequestAnswers(m_profile.AnswerRequestPauseMs);
        const std::optional<ConsoleAnswers> answers = m_link->ReadAnswers();
        if (!answers)
            return false;   // nothing came: the next tick asks again
        const auto limited = [this](uint16_t reported) {
            return reported > m_profile.ConsoleTimeLimitMs ? uint16_t(m_profile.ConsoleTimeLimitMs - 1)
                                                           : reported;
        };
        if (answers->left)
            m_leftAnswer = limited(*answers->left);
        if (answers->right)
            m_rightAnswer = limited(*answers->right);
    }

    const int k = ++m_doneCount;
    Console(CmdLightsOff, LightsOffPauseMs);
    m_record.LeftTimes[k] = StoredTime(m_leftAnswer);
    m_record.RightTimes[k] = StoredTime(m_rightAnswer);
    m_view.AddLiveBar(k, LiveBar(k));
    Closed(k);
    m_view.SetProgress(QStringLiteral("%1 из %2").arg(k).arg(m_plannedCount));

    m_startTick = m_clock.Now();
    m_pauseUntil = m_startTick + uint32_t(m_record.Delays[k]);
    m_elapsed = 0;
    m_phase = Phase::Pause;
    if (!stopping && (k >= m_plannedCount || k >= MaxPresentations))
        StopRun();
    return true;
}

void ReactionRun::StopRun(bool quiet)
{
    if (m_phase == Phase::Idle || m_stopping)
        return;
    m_stopping = true;
    m_view.StopDisplay();
    const bool inProgress = m_phase == Phase::Presenting || m_phase == Phase::Closing;
    if (inProgress && m_doneCount < m_plannedCount)
        FinishPresentation(true);

    if (ConsoleFound())
        m_link->SendCommand(CmdLightsOff, 0);
    m_view.SetWatchdog(false);
    if (m_link)
        m_link->CloseConsole();
    m_view.SetPolling(false);
    m_currentKind = 0;
    m_view.ShowStimulus(0);
    m_view.SetKeyHook(false);
    m_view.LeaveRun();

    m_record.BaseTime = m_profile.BaseTimeMs;
    m_record.AnswerTime = m_profile.AnswerTimeMs;
    m_record.PlanCount = uint16_t(m_plannedCount);
    m_record.DoneCount = uint16_t(m_doneCount);
    m_phase = Phase::Idle;
    m_stopping = false;
    if (!quiet)
        m_view.Beep();
    m_view.RunFinished(quiet);
}

void ReactionRun::WatchdogCheck()
{
    if (m_phase == Phase::Idle || !ConsoleFound())
        return;
    if (uint32_t(m_clock.Now() - m_startTick) > m_profile.WatchdogSilenceMs)
        StopRun();
}

void ReactionRun::KeyAnswer(Hand hand, uint32_t pressTick)
{
    if (m_phase != Phase::Presenting || m_currentKind == 0)
        return;
    const int32_t since = TicksBetween(m_startTick, pressTick);
    if (since < 0 && m_profile.EarlyPressKeepsAnswer)
        return;
    (hand == Hand::Left ? m_leftAnswer : m_rightAnswer) = Clamp16(since);
}

void ReactionRun::ConsoleLost() { m_view.SetWatchdog(false); }

} // namespace vel
