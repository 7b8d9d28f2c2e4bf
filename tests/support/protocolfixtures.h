#pragma once
// Hand-written protocols of both tests and the raw data they were written for, in
// tests/<test>/fixtures/ ("choice", "moving"). A fixture .html holds the one-line protocol
// broken into lines at tag boundaries for reading; the breaks are not part of the
// protocol.
#include <QDate>
#include <QFile>
#include <QString>
#include <QTest>

namespace protocolfixtures {

inline QString Path(const QString &test, const QString &name)
{
    return QStringLiteral(VELMORA_SOURCE_DIR "/tests/") + test + QStringLiteral("/fixtures/") + name;
}

inline QByteArray ReadBytes(const QString &test, const QString &name)
{
    QFile file(Path(test, name));
    if (!file.open(QIODevice::ReadOnly))
        qFatal("missing fixture %s/%s", qPrintable(test), qPrintable(name));
    return file.readAll();
}

inline QString ExpectedProtocol(const QString &test, const QString &name)
{
    QString text = QString::fromUtf8(ReadBytes(test, name + QStringLiteral(".html")));
    text.remove(QLatin1Char('\n'));
    return text;
}

// Patient, test date and corridor text of each fixture of `test` (of both tests when
// empty), as the fixtures were written. A null birthday is an unknown one; an empty
// corridor is none given.
inline void AddRows(const QString &test = {})
{
    QTest::addColumn<QString>("test");
    QTest::addColumn<QString>("fixture");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("sex");
    QTest::addColumn<QDate>("birthday");
    QTest::addColumn<QDate>("testDate");
    QTest::addColumn<QString>("corridor");
    if (test.isEmpty() || test == QLatin1String("choice")) {
        // 7 of 10: every outcome, a late and a zero answer, a kind 0, an odd count.
        QTest::newRow("choice mixed") << "choice" << "mixed" << "Иванов Иван" << "м" << QDate(2010, 5, 1)
                                      << QDate(2020, 9, 1) << "";
        // Only correct reactions of an adult of whole years; M = 472.5 rounds to 472.
        QTest::newRow("choice no errors") << "choice" << "no_errors" << "Петрова Анна" << "ж" << QDate(2000, 3, 15)
                                          << QDate(2020, 3, 15) << "";
        // No correct reaction: M = 0 at 80 months.
        QTest::newRow("choice no correct") << "choice" << "no_correct" << "Сидоров Пётр" << "м" << QDate(2013, 1, 10)
                                           << QDate(2019, 9, 20) << "";
    }
    if (test.isEmpty() || test == QLatin1String("moving")) {
        // 9 of 10 with corridor 39: every class, both corridor edges, a press of the right
        // hand only after a left register of 0, a presentation without any reaction value,
        // kind 0; lags outnumber leads by more than 5 %: inhibition.
        QTest::newRow("moving mixed") << "moving" << "mixed" << "Смирнов Алексей" << "м" << QDate(2008, 3, 10)
                                      << QDate(2020, 6, 15) << "";
        // Corridor 50, 6 presentations, whole years: leads dominate, excitation.
        QTest::newRow("moving leads") << "moving" << "leads" << "Кузнецова Мария" << "ж" << QDate(2005, 9, 1)
                                      << QDate(2017, 9, 1) << "50";
        // Stored data with no reaction value at all, corridor "0" (39), no birthday.
        QTest::newRow("moving no values") << "moving" << "no_values" << "Орлов Илья" << "м" << QDate()
                                          << QDate(2019, 11, 5) << "0";
    }
}

} // namespace protocolfixtures
