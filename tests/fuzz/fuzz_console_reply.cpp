// The console's reply reader on arbitrary bytes: lines, press times and trace text.
#include "console/consolereply.h"

#include <cstdlib>

using namespace vel;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArrayView block(reinterpret_cast<const char *>(data), qsizetype(size));
    (void)EndsInsideLine(block);
    for (const QString &line : SplitReplyLines(block)) {
        if (line.contains(QLatin1Char('\r')) || line.contains(QLatin1Char('\n')))
            std::abort();
        const QString trace = TraceText(line);
        for (QChar c : trace)
            if (c.unicode() < 0x20)
                std::abort();
        const std::optional<PressReply> reply = ParsePressLine(line);
        if (!reply)
            continue;
        if (reply->badTime && reply->time)
            std::abort();
        if (reply->time) {
            // A time is exactly the digits after the separator, blanks aside.
            bool ok = false;
            const uint value = line.mid(4).trimmed().toUInt(&ok);
            if (!ok || value != *reply->time)
                std::abort();
        }
    }
    return 0;
}
