#pragma once
// The response console as the program sees it over its serial port: it answers "ATV\n"
// with its version, keeps the state of its lights ("ATL<red>,<green>,<x>\n"), and answers
// "ATa\n" (green button) and "ATA\n" (red button) with the press time of the current
// presentation: from a script, or from presses made on the simulator's own terminal,
// timed from the last command that lit a light. A presentation ends with "ATA\n".
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace consolesim {

// One presentation of a script: the two press times ("-" for no press, else the text
// sent as the time), or, in raw mode, the bytes sent as they are in reply to "ATA\n".
struct ScriptEntry {
    std::string green = "-";
    std::string red = "-";
    std::string raw;
};

struct Options {
    std::string ident = "ATV Ver 1.0 velmora-consolesim\r\n";   // empty: no reply
    std::vector<ScriptEntry> script;
    bool raw = false;
    // Presentations whose answer requests are answered; later requests get no reply, as
    // from a console that has gone silent. None: every request is answered.
    std::optional<size_t> answeredPresentations;
};

// "\r", "\n", "\t", "\0", "\\" and "\xNN" in a text given on the command line.
std::string Unescape(const std::string &text);
// Bytes made readable for the log: control bytes as \xNN (CR and LF as \r and \n).
std::string Escape(const std::string &bytes);

// Script entries from "<green>,<red>;<green>,<red>;..." (or, raw, "<bytes>;<bytes>").
// Returns no value and an error text when an entry is malformed.
std::optional<std::vector<ScriptEntry>> ParseScript(const std::string &text, bool raw,
                                                    char separator, std::string *error);

class ConsoleSim {
public:
    using Sink = std::function<void(const std::string &)>;

    ConsoleSim(Options options, Sink reply, Sink log);

    // Bytes from the program; complete commands are answered through the reply sink.
    void Receive(const char *data, size_t size, uint64_t nowMs);
    // A press typed on the simulator's terminal.
    void Press(bool red, uint64_t nowMs);

    std::string Lights() const;
    size_t Presentation() const { return m_presentation; }

private:
    void Command(const std::string &command, uint64_t nowMs);
    std::string PressTime(bool red) const;

    Options m_options;
    Sink m_reply;
    Sink m_log;
    std::string m_pending;
    int m_red = 0, m_green = 0, m_third = 0;
    std::optional<uint64_t> m_lightOnAt;
    std::optional<uint64_t> m_greenPress, m_redPress;
    size_t m_presentation = 0;   // presentations answered so far
};

} // namespace consolesim
