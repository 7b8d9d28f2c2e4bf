// velmora-consolesim: a stand-in for the response console ("пульт ЗМР") on a
// pseudo-terminal. It prints the path of its port on the first line of its output; give
// that path to the program through VELMORA_EXTRA_PORTS and the program finds it as the
// console. Each later output line is one event: "cmd <command>", "lights <state>",
// "reply <bytes>", "press <button> <ms>".
#include "consolesim.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fstream>
#include <sstream>
#include <string>

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

namespace {

volatile std::sig_atomic_t g_stop = 0;
void OnSignal(int) { g_stop = 1; }

uint64_t NowMs()
{
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return uint64_t(ts.tv_sec) * 1000u + uint64_t(ts.tv_nsec) / 1000000u;
}

void SleepUntil(const timespec &when)
{
    while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &when, nullptr) == EINTR && !g_stop) {
    }
}

timespec AddNs(timespec t, uint64_t ns)
{
    ns += uint64_t(t.tv_nsec);
    t.tv_sec += time_t(ns / 1000000000u);
    t.tv_nsec = long(ns % 1000000000u);
    return t;
}

// One character of 8N1 at 9600 baud: ten bits.
constexpr uint64_t CharNs = 10ull * 1000000000ull / 9600ull;

struct Output {
    int fd = -1;
    bool pace = false;
    size_t splitAt = 0;    // 0: no split
    unsigned splitGapMs = 30;

    void WriteAll(const char *data, size_t size) const
    {
        while (size > 0 && !g_stop) {
            const ssize_t n = ::write(fd, data, size);
            if (n < 0) {
                if (errno == EINTR)
                    continue;
                if (errno == EAGAIN) {
                    pollfd p{fd, POLLOUT, 0};
                    ::poll(&p, 1, 100);
                    continue;
                }
                return;
            }
            data += n;
            size -= size_t(n);
        }
    }

    // Writes one part of a reply; paced, one character every CharNs from now.
    void SendPart(const char *data, size_t size) const
    {
        if (!pace) {
            WriteAll(data, size);
            return;
        }
        timespec start{};
        clock_gettime(CLOCK_MONOTONIC, &start);
        for (size_t i = 0; i < size && !g_stop; ++i) {
            SleepUntil(AddNs(start, i * CharNs));
            WriteAll(data + i, 1);
        }
    }

    void Send(const std::string &bytes) const
    {
        const size_t first = splitAt > 0 && splitAt < bytes.size() ? splitAt : bytes.size();
        SendPart(bytes.data(), first);
        if (first == bytes.size())
            return;
        timespec resume{};
        clock_gettime(CLOCK_MONOTONIC, &resume);
        SleepUntil(AddNs(resume, uint64_t(splitGapMs) * 1000000u));
        SendPart(bytes.data() + first, bytes.size() - first);
    }
};

void Usage()
{
    std::fputs(
        "usage: velmora-consolesim [options]\n"
        "The response console on a pseudo-terminal. Prints the path of its port, then one\n"
        "line per event. Run the program with VELMORA_EXTRA_PORTS=<path> to use it.\n"
        "\n"
        "  --times LIST     press times per presentation, \"<green>,<red>;...\" in ms,\n"
        "                   '-' for no press, e.g. \"312,-;-,287\"\n"
        "  --script FILE    the same, one presentation per line ('#' starts a comment)\n"
        "  --raw            each entry of the script is the raw reply to \"ATA\\n\"\n"
        "                   (escapes \\r \\n \\t \\0 \\\\ \\xNN); nothing answers \"ATa\\n\"\n"
        "  --ident TEXT     reply to \"ATV\\n\" (escapes as above; empty: no reply)\n"
        "  --pace           send at the speed of 9600 baud (about 1.04 ms a character)\n"
        "  --split N[:MS]   send the first N bytes of each reply, wait MS ms (30), then the rest\n"
        "  --link PATH      also make PATH a symbolic link to the port\n"
        "  --silent-after N answer the requests of the first N presentations only\n"
        "When the script is used up, presses come from this terminal: g, l or 1 for the\n"
        "green button, r, p or 2 for the red one, timed from the last light switched on;\n"
        "q quits.\n",
        stderr);
}

struct RawTerminal {
    bool active = false;
    termios saved{};
    void Enter()
    {
        // Only the terminal's foreground job may change its modes: run in the background,
        // the simulator leaves the terminal alone and takes no typed presses.
        if (!::isatty(STDIN_FILENO) || ::tcgetpgrp(STDIN_FILENO) != ::getpgrp()
            || ::tcgetattr(STDIN_FILENO, &saved) != 0)
            return;
        termios t = saved;
        t.c_lflag &= ~tcflag_t(ICANON | ECHO);
        t.c_cc[VMIN] = 1;
        t.c_cc[VTIME] = 0;
        active = ::tcsetattr(STDIN_FILENO, TCSANOW, &t) == 0;
    }
    ~RawTerminal()
    {
        if (active)
            ::tcsetattr(STDIN_FILENO, TCSANOW, &saved);
    }
};

} // namespace

int main(int argc, char **argv)
{
    consolesim::Options options;
    Output out;
    std::string times, scriptFile, link;
    bool haveTimes = false;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        auto value = [&]() -> std::string {
            if (i + 1 >= argc) {
                std::fprintf(stderr, "velmora-consolesim: %s needs a value\n", a.c_str());
                std::exit(2);
            }
            return argv[++i];
        };
        if (a == "--times") {
            times = value();
            haveTimes = true;
        } else if (a == "--script") {
            scriptFile = value();
        } else if (a == "--raw") {
            options.raw = true;
        } else if (a == "--ident") {
            options.ident = consolesim::Unescape(value());
        } else if (a == "--pace") {
            out.pace = true;
        } else if (a == "--split") {
            const std::string v = value();
            out.splitAt = std::strtoul(v.c_str(), nullptr, 10);
            const size_t colon = v.find(':');
            if (colon != std::string::npos)
                out.splitGapMs = unsigned(std::strtoul(v.c_str() + colon + 1, nullptr, 10));
        } else if (a == "--silent-after") {
            options.answeredPresentations = std::strtoul(value().c_str(), nullptr, 10);
        } else if (a == "--link") {
            link = value();
        } else if (a == "-h" || a == "--help") {
            Usage();
            return 0;
        } else {
            std::fprintf(stderr, "velmora-consolesim: unknown option %s\n", a.c_str());
            Usage();
            return 2;
        }
    }
    std::string error;
    if (haveTimes) {
        auto script = consolesim::ParseScript(times, options.raw, ';', &error);
        if (!script) {
            std::fprintf(stderr, "velmora-consolesim: %s\n", error.c_str());
            return 2;
        }
        options.script = *script;
    }
    if (!scriptFile.empty()) {
        std::ifstream f(scriptFile, std::ios::binary);
        if (!f) {
            std::fprintf(stderr, "velmora-consolesim: cannot read %s\n", scriptFile.c_str());
            return 2;
        }
        std::stringstream text;
        text << f.rdbuf();
        auto script = consolesim::ParseScript(text.str(), options.raw, '\n', &error);
        if (!script) {
            std::fprintf(stderr, "velmora-consolesim: %s\n", error.c_str());
            return 2;
        }
        options.script.insert(options.script.end(), script->begin(), script->end());
    }

    const int master = ::posix_openpt(O_RDWR | O_NOCTTY);
    if (master < 0 || ::grantpt(master) != 0 || ::unlockpt(master) != 0) {
        std::fprintf(stderr, "velmora-consolesim: no pseudo-terminal: %s\n", std::strerror(errno));
        return 1;
    }
    const std::string path = ::ptsname(master);
    // Holding the port's own end open keeps the terminal alive between the program's
    // runs (otherwise reading the master fails once the program closes the port), and
    // lets us put it in raw mode before the program opens it.
    // Without it the master end reports a hang-up on every poll until the program opens
    // the port, and the loop below would spin at full speed: give up instead.
    const int holder = ::open(path.c_str(), O_RDWR | O_NOCTTY);
    if (holder < 0) {
        std::fprintf(stderr, "velmora-consolesim: cannot open %s: %s\n", path.c_str(), std::strerror(errno));
        ::close(master);
        return 1;
    }
    {
        termios t{};
        if (::tcgetattr(holder, &t) == 0) {
            ::cfmakeraw(&t);
            ::cfsetispeed(&t, B9600);
            ::cfsetospeed(&t, B9600);
            ::tcsetattr(holder, TCSANOW, &t);
        }
    }
    if (!link.empty()) {
        ::unlink(link.c_str());
        if (::symlink(path.c_str(), link.c_str()) != 0)
            std::fprintf(stderr, "velmora-consolesim: cannot link %s: %s\n", link.c_str(),
                         std::strerror(errno));
    }
    ::fcntl(master, F_SETFL, ::fcntl(master, F_GETFL) | O_NONBLOCK);
    out.fd = master;

    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    std::printf("%s\n", path.c_str());
    std::fprintf(stderr, "Пульт-имитатор на %s. Запуск программы: VELMORA_EXTRA_PORTS=%s velmora\n",
                 path.c_str(), link.empty() ? path.c_str() : link.c_str());

    struct sigaction sa {};
    sa.sa_handler = OnSignal;
    ::sigaction(SIGINT, &sa, nullptr);
    ::sigaction(SIGTERM, &sa, nullptr);
    ::sigaction(SIGHUP, &sa, nullptr);
    std::signal(SIGPIPE, SIG_IGN);
    // In the background a read of the terminal then fails instead of stopping the process.
    std::signal(SIGTTIN, SIG_IGN);

    RawTerminal terminal;
    terminal.Enter();

    consolesim::ConsoleSim sim(
        options,
        [&](const std::string &bytes) {
            std::printf("reply %s\n", consolesim::Escape(bytes).c_str());
            out.Send(bytes);
        },
        [](const std::string &line) { std::printf("%s\n", line.c_str()); });

    bool stdinOpen = true;
    char buf[512];
    while (!g_stop) {
        pollfd fds[2] = {{master, POLLIN, 0}, {STDIN_FILENO, POLLIN, 0}};
        const int n = ::poll(fds, stdinOpen ? 2 : 1, 500);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            break;
        }
        if (fds[0].revents & POLLIN) {
            const ssize_t got = ::read(master, buf, sizeof buf);
            if (got > 0)
                sim.Receive(buf, size_t(got), NowMs());
        } else if (fds[0].revents & (POLLHUP | POLLERR | POLLNVAL)) {
            // The port's end is held open, so this is no passing state: polling again
            // would return at once, over and over.
            std::fprintf(stderr, "velmora-consolesim: the port %s failed\n", path.c_str());
            break;
        }
        if (stdinOpen && (fds[1].revents & (POLLIN | POLLHUP))) {
            const ssize_t got = ::read(STDIN_FILENO, buf, sizeof buf);
            if (got <= 0) {
                stdinOpen = false;
                continue;
            }
            const uint64_t now = NowMs();
            for (ssize_t i = 0; i < got; ++i) {
                switch (buf[i]) {
                case 'g': case 'G': case 'l': case 'L': case '1': sim.Press(false, now); break;
                case 'r': case 'R': case 'p': case 'P': case '2': sim.Press(true, now); break;
                case 'q': case 'Q': g_stop = 1; break;
                default: break;
                }
            }
        }
    }
    if (!link.empty())
        ::unlink(link.c_str());
    ::close(holder);
    ::close(master);
    return g_stop ? 0 : 1;
}
