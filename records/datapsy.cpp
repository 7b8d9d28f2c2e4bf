#include "records/datapsy.h"

#include <QLocale>
#include <QStringList>

namespace vel {

namespace {

const QString kLineEnd = QStringLiteral("\r\n");

// The operator reads one of these when a stored test cannot be reopened; the record is
// never written on this path, and the message says so.
QString DataPsyError(const QString &detail)
{
    return QStringLiteral("Тест не открыт: его данные повреждены (%1). "
                          "Запись теста не изменена.").arg(detail);
}

// An item quoted in a message: long garbage is shortened so that the box stays readable.
QString Quoted(const QString &item)
{
    constexpr int kShown = 20;
    return QStringLiteral("«") + (item.size() > kShown ? item.left(kShown) + QStringLiteral("…") : item)
           + QStringLiteral("»");
}

bool IsItemBlank(QChar c) { return c.unicode() >= 1 && c.unicode() <= 32; }

// Items of a raw-data text: a run of characters with codes 1..32 is one separator, and a
// comma ends an item as well (so two commas in a row enclose an empty item).
QStringList SplitItems(const QString &text)
{
    QStringList items;
    const qsizetype n = text.size();
    qsizetype i = 0;
    auto skipBlanks = [&] {
        while (i < n && IsItemBlank(text.at(i)))
            ++i;
    };
    skipBlanks();
    while (i < n) {
        const qsizetype start = i;
        while (i < n && !IsItemBlank(text.at(i)) && text.at(i) != QLatin1Char(','))
            ++i;
        items << text.mid(start, i - start);
        skipBlanks();
        if (i < n && text.at(i) == QLatin1Char(',')) {
            ++i;
            skipBlanks();
        }
    }
    return items;
}

enum class NumberCheck { Ok, NotNumber, TooLarge };

// A stored number: decimal digits only, 0..65535.
NumberCheck ReadStoredNumber(const QString &item, uint16_t &value)
{
    if (item.isEmpty())
        return NumberCheck::NotNumber;
    for (QChar c : item)
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return NumberCheck::NotNumber;
    qsizetype first = 0;
    while (first < item.size() - 1 && item.at(first) == QLatin1Char('0'))
        ++first;
    if (item.size() - first > 5)
        return NumberCheck::TooLarge;
    const uint number = item.mid(first).toUInt();
    if (number > 65535)
        return NumberCheck::TooLarge;
    value = static_cast<uint16_t>(number);
    return NumberCheck::Ok;
}

// Reads item `index` as a stored number, or says what is wrong with it.
bool ReadItem(const QStringList &items, qsizetype index, uint16_t &value, QString &error)
{
    switch (ReadStoredNumber(items.at(index), value)) {
    case NumberCheck::Ok:
        return true;
    case NumberCheck::NotNumber:
        error = DataPsyError(QStringLiteral("значение № %1 %2 не является целым числом")
                                 .arg(index + 1)
                                 .arg(Quoted(items.at(index))));
        return false;
    case NumberCheck::TooLarge:
        error = DataPsyError(QStringLiteral("значение № %1 %2 больше 65535")
                                 .arg(index + 1)
                                 .arg(Quoted(items.at(index))));
        return false;
    }
    return false;
}

uint8_t KindOfToken(TestType test, const QString &token)
{
    if (token == KindToken(test, 1))
        return 1;
    if (token == KindToken(test, 2))
        return 2;
    return 0;
}

// The time separator of the locale: the first mark after the hours in its short time
// format; ':' when the format has none that a test record can hold.
QChar TimeSeparator(const QLocale &locale)
{
    const QString format = locale.timeFormat(QLocale::ShortFormat);
    bool afterHours = false;
    for (QChar c : format) {
        if (c == QLatin1Char('h') || c == QLatin1Char('H')) {
            afterHours = true;
        } else if (afterHours) {
            if (c.unicode() > 32 && c.unicode() < 127 && !c.isLetterOrNumber()
                && c != QLatin1Char('\''))
                return c;
            break;
        }
    }
    return QLatin1Char(':');
}

QString TimeError(const QString &text)
{
    return QStringLiteral("Тест не открыт: время теста %1 не является временем. "
                          "Запись теста не изменена.").arg(Quoted(text));
}

// Removes a morning or afternoon marker at either end of the text: -1 none, 0 morning,
// 1 afternoon.
int TakeDayHalfMarker(QString &text, const QLocale &locale)
{
    const QString markers[2][2] = {{locale.amText(), QStringLiteral("AM")},
                                   {locale.pmText(), QStringLiteral("PM")}};
    for (int half = 0; half < 2; ++half) {
        for (const QString &marker : markers[half]) {
            if (marker.isEmpty())
                continue;
            if (text.startsWith(marker, Qt::CaseInsensitive)) {
                text = text.mid(marker.size()).trimmed();
                return half;
            }
            if (text.endsWith(marker, Qt::CaseInsensitive)) {
                text.chop(marker.size());
                text = text.trimmed();
                return half;
            }
        }
    }
    return -1;
}

// One or two decimal digits.
bool ReadTimePart(const QString &part, int &value)
{
    if (part.isEmpty() || part.size() > 2)
        return false;
    for (QChar c : part)
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return false;
    value = part.toInt();
    return true;
}

} // namespace

QString KindToken(TestType test, uint8_t kind)
{
    const QString base = kind == 1 ? QStringLiteral("SL")
                         : kind == 2 ? QStringLiteral("SR")
                                     : QStringLiteral("S0");
    return test == TestType::Moving ? base + QLatin1Char('_') : base;
}

QString BuildDataPsy(const TTestRun &run, TestType test)
{
    // A run never holds more than the record's 200 presentations; a larger count could
    // only come from a damaged record and would write what the reader refuses.
    const int count = qMin<int>(run.DoneCount, MaxPresentations);
    QString text;
    text.reserve(24 + count * 20);
    auto line = [&text](const QString &item) { text += item + kLineEnd; };
    line(QString::number(run.BaseTime));
    line(QString::number(run.AnswerTime));
    line(QString::number(run.PlanCount));
    line(QString::number(count));
    for (int i = 1; i <= count; ++i) {
        line(KindToken(test, run.Kinds[i]));
        line(QString::number(run.LeftTimes[i]));
        line(QString::number(run.RightTimes[i]));
    }
    return text;
}

bool LoadDataPsy(const QString &text, TestType test, TTestRun &run, QString &error)
{
    constexpr int kHeaderItems = 4;
    const QStringList items = SplitItems(text);
    if (items.size() < kHeaderItems) {
        error = DataPsyError(QStringLiteral("записано значений: %1, а нужно не меньше %2")
                                 .arg(items.size())
                                 .arg(kHeaderItems));
        return false;
    }
    uint16_t header[kHeaderItems] = {};
    for (int k = 0; k < kHeaderItems; ++k)
        if (!ReadItem(items, k, header[k], error))
            return false;
    const int count = header[3];
    if (count > MaxPresentations) {
        error = DataPsyError(QStringLiteral("число предъявлений %1 больше %2")
                                 .arg(count)
                                 .arg(MaxPresentations));
        return false;
    }
    const qsizetype needed = kHeaderItems + 3 * qsizetype(count);
    if (items.size() < needed) {
        error = DataPsyError(QStringLiteral("для %1 предъявлений нужно значений: %2, а записано: %3")
                                 .arg(count)
                                 .arg(needed)
                                 .arg(items.size()));
        return false;
    }

    // Everything is read into a copy first, so that a fault found late leaves the run
    // record as it was.
    TTestRun loaded = run;
    loaded.BaseTime = header[0];
    loaded.AnswerTime = header[1];
    loaded.PlanCount = header[2];
    loaded.DoneCount = header[3];
    for (int i = 1; i <= count; ++i) {
        loaded.Kinds[i] = KindOfToken(test, items.at(3 * i + 1));
        if (!ReadItem(items, 3 * i + 2, loaded.LeftTimes[i], error)
            || !ReadItem(items, 3 * i + 3, loaded.RightTimes[i], error))
            return false;
    }
    run = loaded;
    return true;
}

QString FormatTestTime(const QTime &time, const QLocale &locale)
{
    // The long time format of a 12-hour locale ("2:05:07 PM") does not fit the field: cut
    // to 8 characters it would lose the afternoon marker and read back 12 hours early.
    // Every locale therefore writes 24-hour time with its own separator.
    const QChar sep = TimeSeparator(locale);
    const QString text = QString::number(time.hour()) + sep
                         + QStringLiteral("%1").arg(time.minute(), 2, 10, QLatin1Char('0')) + sep
                         + QStringLiteral("%1").arg(time.second(), 2, 10, QLatin1Char('0'));
    return text.left(TestTimeFieldWidth);
}

bool ParseTestTime(const QString &text, QTime &time, QString &error, const QLocale &locale)
{
    QString rest = text.trimmed();
    const int half = TakeDayHalfMarker(rest, locale);
    const QChar sep = TimeSeparator(locale);
    QString unified = rest;
    unified.replace(sep, QLatin1Char(':'));
    const QStringList parts = unified.split(QLatin1Char(':'));
    int hour = 0, minute = 0, second = 0;
    bool ok = (parts.size() == 2 || parts.size() == 3) && ReadTimePart(parts[0], hour)
              && ReadTimePart(parts[1], minute)
              && (parts.size() == 2 || ReadTimePart(parts[2], second));
    if (ok && half >= 0) {
        ok = hour <= 12;
        if (half == 1 && hour < 12)
            hour += 12;
        else if (half == 0 && hour == 12)
            hour = 0;
    }
    const QTime read(hour, minute, second);
    if (!ok || !read.isValid()) {
        error = TimeError(text);
        return false;
    }
    time = read;
    return true;
}

} // namespace vel
