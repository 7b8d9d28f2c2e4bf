#pragma once
// The stored form of a test: the raw-data text of the memo DATAPSY and the test time of
// the TIME field of Psy.dbf. No widgets; the test windows and the test list call these.
//
// DATAPSY is one decimal number or kind token a line, every line ended by CR LF:
//   BaseTime, AnswerTime, PlanCount, DoneCount = N,
//   then for each presentation 1..N: its kind token, LeftTimes[i], RightTimes[i].
// Kind tokens: "SL" (1), "SR" (2), "S0" (other) for the choice test; "SL_", "SR_", "S0_"
// for the moving-object test. Delays are not stored.
#include <QString>
#include <QTime>

#include "common/config.h"
#include "common/testrun.h"

class QLocale;

namespace vel {

// Which test a run record belongs to: the two tests store the same layout with their
// own kind tokens.
enum class TestType { Choice, Moving };

// The kind token that stands for a stimulus kind in the test's raw data.
QString KindToken(TestType test, uint8_t kind);

// The raw-data text of the run record's presentations 1..DoneCount.
QString BuildDataPsy(const TTestRun &run, TestType test);

// Reads a raw-data text into the run record. Items are separated by runs of characters
// with codes 1..32, and a comma also ends an item. The whole text is checked first: when
// it does not fit (fewer items than its DoneCount needs, a number that is not a decimal
// number, a value above 65535, DoneCount above 200) the run record stays untouched, the
// message for the operator goes to `error` and the result is false. Kind tokens are
// compared exactly; an unknown token is kind 0. Entries above DoneCount and Delays keep
// what they held.
bool LoadDataPsy(const QString &text, TestType test, TTestRun &run, QString &error);

// The TIME field of a test record: the hours without a leading zero, minutes and seconds
// of two digits, joined by the locale's time separator ("9:05:07" in a Russian locale),
// cut to the field's 8 characters.
constexpr int TestTimeFieldWidth = 8;
QString FormatTestTime(const QTime &time, const QLocale &locale = Config().AppFormatSettings);

// Reads a TIME field back: hours and minutes, optionally seconds, separated by the
// locale's time separator or ':'; blanks around are ignored and a morning/afternoon
// marker of the locale (or AM/PM) is honoured. A text that is not such a time gives
// false and the operator's message in `error`.
bool ParseTestTime(const QString &text, QTime &time, QString &error,
                   const QLocale &locale = Config().AppFormatSettings);

} // namespace vel
