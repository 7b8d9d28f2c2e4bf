// Shared text, path and number helpers.
#include <QDir>
#include <QTemporaryDir>
#include <QtTest>

#include "common/mathutil.h"
#include "common/paths.h"
#include "common/text.h"

using namespace vel;

class TestCommon : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void normalizeText_data()
    {
        QTest::addColumn<QString>("in");
        QTest::addColumn<QString>("out");
        QTest::newRow("latin and cyrillic capitals") << "  ОбЩие НАСТРОЙКИ Ab " << "общие настройки ab";
        QTest::newRow("yo unchanged") << "Ёлка" << "Ёлка";
        QTest::newRow("only spaces") << "    " << "";
        QTest::newRow("tabs are not spaces") << "\t/DEBUG\t" << "\t/debug\t";
    }
    void normalizeText()
    {
        QFETCH(QString, in);
        QFETCH(QString, out);
        QCOMPARE(NormalizeText(in), out);
    }

    void upperChar()
    {
        QCOMPARE(UpperChar(QChar(u'и')), QChar(u'И'));
        QCOMPARE(UpperChar(QChar(u'z')), QChar(u'Z'));
        QCOMPARE(UpperChar(QChar(u'ё')), QChar(u'ё'));
        QCOMPARE(UpperChar(QChar(u'7')), QChar(u'7'));
    }

    void cp1251RoundTrip()
    {
        const QString s = QStringLiteral("Иванов Пётр «№5»");
        const QByteArray b = ToCp1251(s);
        QCOMPARE(b.size(), s.size());
        QCOMPARE(uchar(b.at(0)), uchar(0xC8));   // И
        QCOMPARE(FromCp1251(b), s);
    }

    void splitLinesAndQuote()
    {
        QCOMPARE(SplitLines("a\r\nb\rc\nd"), QStringList({"a", "b", "c", "d"}));
        QCOMPARE(SplitLines("a\r\n"), QStringList({"a"}));
        QCOMPARE(QuoteDbf("O'Hara"), QString("'O''Hara'"));
    }

    void roundHalfEven()
    {
        QCOMPARE(RoundHalfEven(2.5), 2LL);
        QCOMPARE(RoundHalfEven(3.5), 4LL);
        QCOMPARE(RoundHalfEven(-0.5), 0LL);
        QCOMPARE(SafeDiv(1, 0), 0.0);
    }

    void resolvePathIgnoresCase()
    {
        QTemporaryDir tmp;
        QDir(tmp.path()).mkpath("Data/Sub");
        QFile f(tmp.path() + "/Data/Psy.mdx");
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.close();
        const QString base = tmp.path();
        QCOMPARE(ResolvePath(base + "\\data\\psy.MDX"), base + "/Data/Psy.mdx");
        QCOMPARE(ResolvePath(base + "/data/"), base + "/Data/");
        QCOMPARE(ResolvePath(base + "/DATA/sub/new.txt"), base + "/Data/Sub/new.txt");
        QCOMPARE(ResolvePath(base + "/missing/Data"), base + "/missing/Data");
    }
};

QTEST_GUILESS_MAIN(TestCommon)
#include "test_common.moc"
