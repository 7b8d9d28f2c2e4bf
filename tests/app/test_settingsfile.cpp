// The settings file: what the reader takes, what the writer gives, the fallback file and
// files that exist but cannot be read or written.
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include "tests/support/workfolder.h"

#include <csignal>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "app/settingsfile.h"
#include "common/text.h"

using namespace vel;


Q_DECLARE_METATYPE(vel::SettingsTexts)

class TestSettingsFile : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init()
    {
        m_dir.enter({"Data"});
    }
    void cleanup() { m_dir.leave(); }

    void reader_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<vel::SettingsTexts>("expected");
        const SettingsTexts defaults;
        auto with = [&](auto change) { SettingsTexts t = defaults; change(t); return t; };

        QTest::newRow("as written")
            << "[Общие настройки]\r\nНаименование учреждения = Школа №5\r\nЧисло предъявлений = 12\r\n"
               "число предъявлений рдо = 40\r\nкоридор точной реакции = 25\r\n"
            << with([](SettingsTexts &t) { t.NameOffice = "Школа №5"; t.edt_npr = "12"; t.rdo_c = "40"; t.rdo_t = "25"; });
        QTest::newRow("keys before any section are ignored")
            << "Число предъявлений = 12\n[Общие настройки]\nкоридор точной реакции = 25" << with([](SettingsTexts &t) { t.rdo_t = "25"; });
        QTest::newRow("header in capitals with inner spaces")
            << "[  ОБЩИЕ НАСТРОЙКИ ]\nЧисло предъявлений=7" << with([](SettingsTexts &t) { t.edt_npr = "7"; });
        QTest::newRow("header with a trailing space is no header")
            << "[Общие настройки]\nЧисло предъявлений = 7\n[Общие настройки] \nЧисло предъявлений = 8\n"
               "[Другое]\n[Общие настройки] \nЧисло предъявлений = 9"
            << with([](SettingsTexts &t) { t.edt_npr = "8"; });
        QTest::newRow("header with a space before [ is no header")
            << " [Общие настройки]\nЧисло предъявлений = 7" << defaults;
        QTest::newRow("indented capital key without spaces")
            << "[Общие настройки]\n   ЧИСЛО ПРЕДЪЯВЛЕНИЙ РДО=50" << with([](SettingsTexts &t) { t.rdo_c = "50"; });
        QTest::newRow("two spaces inside a key match nothing")
            << "[Общие настройки]\nЧисло  предъявлений = 7" << defaults;
        QTest::newRow("value keeps everything after the first =")
            << "[Общие настройки]\nНаименование учреждения = a = b =  " << with([](SettingsTexts &t) { t.NameOffice = "a = b ="; });
        QTest::newRow("tabs are not trimmed")
            << "[Общие настройки]\nЧисло предъявлений =\t7" << with([](SettingsTexts &t) { t.edt_npr = "\t7"; });
        QTest::newRow("comments only in the first column")
            << "[Общие настройки]\n#Число предъявлений = 1\n;Число предъявлений = 2\n ;x\nЧисло предъявлений = 3"
            << with([](SettingsTexts &t) { t.edt_npr = "3"; });
        QTest::newRow("later line wins, empty value is a value")
            << "[Общие настройки]\nЧисло предъявлений = 3\nЧисло предъявлений =" << with([](SettingsTexts &t) { t.edt_npr = ""; });
        QTest::newRow("line without = and unknown keys")
            << "[Общие настройки]\nЧисло предъявлений\nцвет = синий\n=5" << defaults;
        QTest::newRow("other sections, CR-only lines")
            << "[Печать]\rЧисло предъявлений = 1\r[общие настройки]\rкоридор точной реакции = 0" << with([](SettingsTexts &t) { t.rdo_t = "0"; });
        QTest::newRow("values taken without checks")
            << "[Общие настройки]\nЧисло предъявлений = 1000 раз" << with([](SettingsTexts &t) { t.edt_npr = "1000 раз"; });
    }
    void reader()
    {
        QFETCH(QString, text);
        SettingsTexts texts;
        ApplySettingsText(text, texts);
        QTEST(texts, "expected");
    }

    void writerRoundTrip()
    {
        SettingsTexts t;
        t.NameOffice = "МБОУ «Гимназия» = 1";
        t.edt_npr = "";
        t.rdo_c = "1000";
        t.rdo_t = " 7";
        QVERIFY(SaveSettingsFile("Data/velmora.ini", t));
        const QByteArray bytes = ReadAll("Data/velmora.ini");
        QCOMPARE(bytes, ToCp1251("[Общие настройки]\r\nНаименование учреждения = МБОУ «Гимназия» = 1\r\n"
                                 "Число предъявлений = \r\nчисло предъявлений рдо = 1000\r\nкоридор точной реакции =  7\r\n"));
        SettingsTexts back;
        QCOMPARE(LoadSettingsFile("Data/velmora.ini", "Data/Postavka.ini", back), QString("Data/velmora.ini"));
        // Spaces at the ends of a value do not survive the reader; the rest does.
        t.rdo_t = "7";
        QCOMPARE(back, t);
    }

    void utf8FileIsReadToo()
    {
        WriteAll("Data/velmora.ini", QString("[Общие настройки]\nНаименование учреждения = Школа\n").toUtf8());
        SettingsTexts t;
        LoadSettingsFile("Data/velmora.ini", "Data/Postavka.ini", t);
        QCOMPARE(t.NameOffice, QString("Школа"));
    }

    void fallbackAndCase()
    {
        SettingsTexts t;
        QCOMPARE(LoadSettingsFile("Data/velmora.ini", "Data/Postavka.ini", t), QString());
        QCOMPARE(t, SettingsTexts());

        WriteAll("Data/POSTAVKA.INI", ToCp1251("[Общие настройки]\r\nЧисло предъявлений = 15\r\n"));
        QCOMPARE(LoadSettingsFile("Data/velmora.ini", "Data/Postavka.ini", t), QString("Data/POSTAVKA.INI"));
        QCOMPARE(t.edt_npr, QString("15"));

        // Once saved, velmora.ini is read and the fallback no longer is.
        t.edt_npr = "20";
        QVERIFY(SaveSettingsFile("data\\velmora.ini", t));
        QVERIFY(QFileInfo::exists("Data/velmora.ini"));
        SettingsTexts again;
        QCOMPARE(LoadSettingsFile("Data/velmora.ini", "Data/Postavka.ini", again), QString("Data/velmora.ini"));
        QCOMPARE(again.edt_npr, QString("20"));
        QCOMPARE(ReadAll("Data/POSTAVKA.INI"), ToCp1251("[Общие настройки]\r\nЧисло предъявлений = 15\r\n"));
    }

    void unreadableFileNamesItself_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::newRow("folder") << "folder";
        QTest::newRow("pipe") << "pipe";
        QTest::newRow("dangling link") << "link";
        QTest::newRow("no read access") << "mode";
    }
    void unreadableFileNamesItself()
    {
        QFETCH(QString, kind);
        const QString path = "Data/velmora.ini";
        if (kind == "folder")
            QVERIFY(QDir().mkdir(path));
        else if (kind == "pipe")
            QCOMPARE(::mkfifo(path.toLocal8Bit().constData(), 0600), 0);   // reading would block
        else if (kind == "link")
            QVERIFY(QFile::link("nowhere.ini", path));
        else {
            if (::geteuid() == 0)
                QSKIP("the superuser reads every file");
            WriteAll(path, "[Общие настройки]");
            QFile::setPermissions(path, QFileDevice::WriteOwner);
        }
        WriteAll("Data/Postavka.ini", "");
        SettingsTexts t;
        try {
            LoadSettingsFile(path, "Data/Postavka.ini", t);
            QFAIL("an unreadable settings file was passed over");
        } catch (const SettingsReadError &e) {
            QCOMPARE(e.file(), path);
            QVERIFY(!e.reason().isEmpty());
        }
    }

    void failedWriteKeepsTheOldFile()
    {
        SettingsTexts t;
        t.NameOffice = "old";
        QVERIFY(SaveSettingsFile("Data/velmora.ini", t));
        const QByteArray before = ReadAll("Data/velmora.ini");
        t.NameOffice = "new";
        QString error;
        QVERIFY(!SaveSettingsFile("Missing/velmora.ini", t, &error));
        QVERIFY(!error.isEmpty());
        if (::geteuid() != 0) {
            QFile::setPermissions("Data", QFileDevice::ReadOwner | QFileDevice::ExeOwner);
            QVERIFY(!SaveSettingsFile("Data/velmora.ini", t, &error));
            QFile::setPermissions("Data", QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
        }
        QCOMPARE(ReadAll("Data/velmora.ini"), before);
        QCOMPARE(QDir("Data").entryList(QDir::Files), QStringList{"velmora.ini"});
    }

    void crashWhileWritingLeavesOldOrNew()
    {
        // A writer killed at random moments: the file always holds one whole version.
        SettingsTexts t;
        t.NameOffice = "old";
        QVERIFY(SaveSettingsFile("Data/velmora.ini", t));
        const QByteArray oldBytes = ReadAll("Data/velmora.ini");
        t.NameOffice = QString(40, QChar(u'ж'));
        const QByteArray newBytes = BuildSettingsFile(t);
        for (int round = 0; round < 20; ++round) {
            const pid_t child = ::fork();
            if (child == 0) {
                for (;;)
                    SaveSettingsFile("Data/velmora.ini", t);
            }
            QTest::qSleep(2 + round % 7);
            ::kill(child, SIGKILL);
            int status = 0;
            ::waitpid(child, &status, 0);
            const QByteArray now = ReadAll("Data/velmora.ini");
            QVERIFY2(now == oldBytes || now == newBytes, now.constData());
        }
    }

private:
    WorkFolder m_dir;
};

QTEST_GUILESS_MAIN(TestSettingsFile)
#include "test_settingsfile.moc"
