#pragma once
// Hand-written protocols of the choice test and the raw data they were written for.
// A fixture .html holds the one-line protocol broken into lines at tag boundaries for
// reading; the breaks are not part of the protocol.
#include <QDate>
#include <QFile>
#include <QString>
#include <QTest>

namespace choicefixtures {

inline QString Path(const QString &name)
{
    return QStringLiteral(VELMORA_SOURCE_DIR "/tests/choice/fixtures/") + name;
}

inline QByteArray ReadBytes(const QString &name)
{
    QFile file(Path(name));
    if (!file.open(QIODevice::ReadOnly))
        qFatal("missing fixture %s", qPrintable(name));
    return file.readAll();
}

inline QString ExpectedProtocol(const QString &name)
{
    QString text = QString::fromUtf8(ReadBytes(name + QStringLiteral(".html")));
    text.remove(QLatin1Char('\n'));
    return text;
}

// name, sex, birthday and test date of each fixture, as the fixtures were written.
inline void AddRows()
{
    QTest::addColumn<QString>("fixture");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("sex");
    QTest::addColumn<QDate>("birthday");
    QTest::addColumn<QDate>("testDate");
    // 7 of 10: every outcome, a late and a zero answer, a kind 0, an odd count.
    QTest::newRow("mixed") << "mixed" << "Иванов Иван" << "м" << QDate(2010, 5, 1) << QDate(2020, 9, 1);
    // Only correct reactions of an adult of whole years; M = 472.5 rounds to 472.
    QTest::newRow("no errors") << "no_errors" << "Петрова Анна" << "ж" << QDate(2000, 3, 15) << QDate(2020, 3, 15);
    // No correct reaction: M = 0 at 80 months.
    QTest::newRow("no correct") << "no_correct" << "Сидоров Пётр" << "м" << QDate(2013, 1, 10) << QDate(2019, 9, 20);
}

} // namespace choicefixtures
