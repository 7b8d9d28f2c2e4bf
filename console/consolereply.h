#pragma once
// The console's replies as text: splitting a received block into lines and reading the
// press-time lines "ATa <time>" (green button, left hand) and "ATA <time>" (red button,
// right hand). Pure functions: no port, no clock, so that the rules can be tested and
// fuzzed on their own.
#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <optional>

namespace vel {

// The commands the program sends. Each ends with a single line feed.
inline constexpr char CmdIdentify[] = "ATV\n";
inline constexpr char CmdGreenLight[] = "ATL0,2,0\n";
inline constexpr char CmdRedLight[] = "ATL99,0,0\n";
inline constexpr char CmdLightsOff[] = "ATL0,0,0\n";
// The pause after "ATL0,0,0", before the next command.
inline constexpr uint32_t LightsOffPauseMs = 5;
inline constexpr char CmdAskGreen[] = "ATa\n";
inline constexpr char CmdAskRed[] = "ATA\n";

// What a reply to "ATV\n" contains when the console is there.
inline constexpr char IdentifyMark[] = "ATV Ver";

enum class ConsoleButton { Green, Red };   // green = left hand ("ATa"), red = right ("ATA")

// One press-time line. `time` is empty for "-" (no press) and for a time that is not a
// whole number from 0 to 65535, which then also sets `badTime`.
struct PressReply {
    ConsoleButton button = ConsoleButton::Green;
    std::optional<uint16_t> time;
    bool badTime = false;
};

// Press times read from one block of replies: each is empty when the console sent "-",
// an unreadable time or nothing for that button. A later line of a kind overrides an
// earlier one.
struct ConsoleAnswers {
    std::optional<uint16_t> left;    // green button
    std::optional<uint16_t> right;   // red button
};

// The replies' 8-bit text as the program shows it (code page 1251).
QString ReplyText(QByteArrayView bytes);

// Lines of a block: CR, LF or CR LF end a line; a last line without an ending counts.
QStringList SplitReplyLines(QByteArrayView block);

// True when the block ends inside a line, that is with a byte other than CR or LF.
bool EndsInsideLine(QByteArrayView block);

// A line that begins with "ATa" or "ATA" (case matters) and is longer than four
// characters; the fourth character is a separator and is not examined. Any other line
// gives nothing.
std::optional<PressReply> ParsePressLine(QStringView line);

// A reply line made fit for the trace: control characters shown as \xNN, and a line
// longer than `maxChars` cut with an ellipsis. Ordinary replies pass unchanged.
QString TraceText(QStringView line, qsizetype maxChars = 200);

} // namespace vel
