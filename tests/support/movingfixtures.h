#pragma once
// Hand-written protocols of the moving-object test and the raw data they were written
// for. A fixture .html holds the one-line protocol broken into lines at tag boundaries
// for reading; the breaks are not part of the protocol.
#include <QDate>
#include <QFile>
#include <QString>
#include <QTest>

namespace movingfixtures {

inline QString Path(const QString &name)
{
    return QStringLiteral(VELMORA_SOURCE_DIR "/tests/moving/fixtures/") + name;
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

// Patient, test date and corridor text of each fixture, as the fixtures were written.
// A null birthday is an unknown one.
inline void AddRows()
{
    QTest::addColumn<QString>("fixture");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("sex");
    QTest::addColumn<QDate>("birthday");
    QTest::addColumn<QDate>("testDate");
    QTest::addColumn<QString>("corridor");
    // 9 of 10 with corridor 39: every class, both corridor edges, a press of the right
    // hand only after a left register of 0, a presentation without any reaction value,
    // kind 0; lags outnumber leads by more than 5 %: inhibition.
    QTest::newRow("mixed") << "mixed" << "Смирнов Алексей" << "м" << QDate(2008, 3, 10)
                           << QDate(2020, 6, 15) << "";
    // Corridor 50, 6 presentations, whole years: leads dominate, excitation.
    QTest::newRow("leads") << "leads" << "Кузнецова Мария" << "ж" << QDate(2005, 9, 1)
                           << QDate(2017, 9, 1) << "50";
    // Stored data with no reaction value at all, corridor "0" (39), no birthday.
    QTest::newRow("no values") << "no_values" << "Орлов Илья" << "м" << QDate() << QDate(2019, 11, 5)
                               << "0";
}

} // namespace movingfixtures
