#include "consolesim.h"

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <sstream>

namespace consolesim {

namespace {

constexpr size_t MaxCommand = 256;

std::string Trim(const std::string &s)
{
    const size_t b = s.find_first_not_of(" \t\r\n");
    if (b == std::string::npos)
        return {};
    const size_t e = s.find_last_not_of(" \t\r\n");
    return s.substr(b, e - b + 1);
}

bool ValidTime(const std::string &t)
{
    return !t.empty() && t.find_first_not_of("0123456789-") == std::string::npos;
}

} // namespace

std::string Unescape(const std::string &text)
{
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\\' || i + 1 == text.size()) {
            out += text[i];
            continue;
        }
        const char c = text[++i];
        switch (c) {
        case 'r': out += '\r'; break;
        case 'n': out += '\n'; break;
        case 't': out += '\t'; break;
        case '0': out += '\0'; break;
        case '\\': out += '\\'; break;
        case 'x':
            if (i + 2 < text.size() && std::isxdigit(static_cast<unsigned char>(text[i + 1]))
                && std::isxdigit(static_cast<unsigned char>(text[i + 2]))) {
                out += char(std::strtol(text.substr(i + 1, 2).c_str(), nullptr, 16));
                i += 2;
            } else {
                out += "\\x";
            }
            break;
        default: out += '\\'; out += c; break;
        }
    }
    return out;
}

std::string Escape(const std::string &bytes)
{
    std::string out;
    for (unsigned char c : bytes) {
        if (c == '\r')
            out += "\\r";
        else if (c == '\n')
            out += "\\n";
        else if (c < 0x20 || c == 0x7F) {
            char buf[8];
            std::snprintf(buf, sizeof buf, "\\x%02x", c);
            out += buf;
        } else {
            out += char(c);
        }
    }
    return out;
}

std::optional<std::vector<ScriptEntry>> ParseScript(const std::string &text, bool raw,
                                                    char separator, std::string *error)
{
    std::vector<ScriptEntry> entries;
    std::stringstream in(text);
    std::string item;
    while (std::getline(in, item, separator)) {
        if (raw) {
            if (!item.empty())
                entries.push_back({"-", "-", Unescape(item)});
            continue;
        }
        const std::string entry = Trim(item);
        if (entry.empty() || entry[0] == '#')
            continue;
        const size_t comma = entry.find_first_of(", ");
        ScriptEntry e;
        e.green = Trim(entry.substr(0, comma));
        e.red = comma == std::string::npos ? "-" : Trim(entry.substr(comma + 1));
        if (!ValidTime(e.green) || !ValidTime(e.red)) {
            if (error)
                *error = "bad script entry \"" + entry + "\": expected <green>,<red> with times "
                         "in ms or '-'";
            return std::nullopt;
        }
        entries.push_back(e);
    }
    return entries;
}

ConsoleSim::ConsoleSim(Options options, Sink reply, Sink log)
    : m_options(std::move(options)), m_reply(std::move(reply)), m_log(std::move(log))
{
}

std::string ConsoleSim::Lights() const
{
    if (m_red == 0 && m_green == 0 && m_third == 0)
        return "off";
    std::string s;
    if (m_red)
        s += "red";
    if (m_green)
        s += s.empty() ? "green" : "+green";
    if (s.empty())
        s = "other";
    return s;
}

void ConsoleSim::Receive(const char *data, size_t size, uint64_t nowMs)
{
    for (size_t i = 0; i < size; ++i) {
        const char c = data[i];
        if (c == '\n') {
            std::string command = m_pending;
            m_pending.clear();
            if (!command.empty() && command.back() == '\r')
                command.pop_back();
            Command(command, nowMs);
        } else if (m_pending.size() < MaxCommand) {
            m_pending += c;
        }
    }
}

void ConsoleSim::Press(bool red, uint64_t nowMs)
{
    if (!m_lightOnAt) {
        m_log(std::string("press ") + (red ? "red" : "green") + " ignored: no light yet");
        return;
    }
    std::optional<uint64_t> &slot = red ? m_redPress : m_greenPress;
    if (slot)
        return;   // the first press of a presentation counts
    slot = nowMs - *m_lightOnAt;
    m_log(std::string("press ") + (red ? "red " : "green ") + std::to_string(*slot));
}

std::string ConsoleSim::PressTime(bool red) const
{
    if (m_presentation < m_options.script.size()) {
        const ScriptEntry &e = m_options.script[m_presentation];
        return red ? e.red : e.green;
    }
    const std::optional<uint64_t> &press = red ? m_redPress : m_greenPress;
    return press ? std::to_string(*press > 65535 ? 65535 : *press) : "-";
}

void ConsoleSim::Command(const std::string &command, uint64_t nowMs)
{
    m_log("cmd " + Escape(command));
    if (command == "ATV") {
        if (!m_options.ident.empty())
            m_reply(m_options.ident);
        return;
    }
    int r = 0, g = 0, x = 0;
    char tail = 0;
    if (command.rfind("ATL", 0) == 0
        && std::sscanf(command.c_str() + 3, "%d,%d,%d%c", &r, &g, &x, &tail) == 3) {
        m_red = r;
        m_green = g;
        m_third = x;
        if (r || g || x)
            m_lightOnAt = nowMs;
        m_log("lights " + Lights());
        return;
    }
    if ((command == "ATa" || command == "ATA") && m_options.answeredPresentations
        && m_presentation >= *m_options.answeredPresentations) {
        m_log("silent");
        return;
    }
    const bool inScript = m_presentation < m_options.script.size();
    if (command == "ATa") {
        if (!(inScript && m_options.raw))
            m_reply("ATa " + PressTime(false) + "\r\n");
        return;
    }
    if (command == "ATA") {
        if (inScript && m_options.raw)
            m_reply(m_options.script[m_presentation].raw);
        else
            m_reply("ATA " + PressTime(true) + "\r\n");
        ++m_presentation;
        m_greenPress.reset();
        m_redPress.reset();
        return;
    }
    m_log("unknown command ignored");
}

} // namespace consolesim
