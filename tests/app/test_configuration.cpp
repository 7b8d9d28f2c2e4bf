// Start-up configuration: the registry file, the debug switch and its log, the folders and
// settings paths, the data folder, the default files, the single-instance lock and the
// version caption.
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include "tests/support/workfolder.h"

#include "app/configuration.h"
#include "app/platform/instanceguard.h"
#include "app/platform/registry.h"
#include "app/platform/version.h"
#include "common/config.h"
#include "common/text.h"

using namespace vel;
using vel::platform::RegistryFile;
using vel::platform::RegistryRead;


class TestConfiguration : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init()
    {
        m_dir.enter();
    }
    void cleanup() { m_dir.leave(); }

    // ---- the registry file ----

    void registryValueTypes()
    {
        const RegistryFile key = RegistryFile::fromText(
            "; machine-wide settings\r\n"
            "[Other]\r\nData=/not/this/\r\n"
            "[ software\\DORNEL\\Velmora ]\r\n"
            "data = D:\\Velmora\\Data\\ \r\n"
            "BackupTo=\"  /srv/backup  \"\r\n"
            "LegacyIniFile=dword:0000001f\r\n"
            "Decimal=4294967295\r\n"
            "TooBig=4294967296\r\n"
            "Binary=hex:01,02\r\n"
            "Multi=hex(7):41,00,00,00\r\n");
        QString s;
        quint32 n = 0;
        QCOMPARE(key.readString("Data", &s), RegistryRead::Ok);
        QCOMPARE(s, QString("D:\\Velmora\\Data\\"));   // literal: no escapes, no line joining
        QCOMPARE(key.readString("BACKUPTO", &s), RegistryRead::Ok);
        QCOMPARE(s, QString("  /srv/backup  "));
        QCOMPARE(key.readDWord("LegacyIniFile", &n), RegistryRead::Ok);
        QCOMPARE(n, 31u);
        QCOMPARE(key.readString("LegacyIniFile", &s), RegistryRead::WrongType);
        QCOMPARE(key.readDWord("Decimal", &n), RegistryRead::Ok);
        QCOMPARE(n, 4294967295u);
        QCOMPARE(key.readString("Decimal", &s), RegistryRead::Ok);   // a number is text too
        QCOMPARE(key.readDWord("TooBig", &n), RegistryRead::WrongType);
        QCOMPARE(key.readDWord("Data", &n), RegistryRead::WrongType);
        QCOMPARE(key.readString("Binary", &s), RegistryRead::WrongType);
        QCOMPARE(key.readString("Multi", &s), RegistryRead::WrongType);
        QCOMPARE(key.readString("Missing", &s), RegistryRead::Absent);
    }

    void registryFileMissingOrElsewhere()
    {
        QString s;
        const RegistryFile missing(m_dir.filePath("no-such.ini"));
        QCOMPARE(missing.readString("Data", &s), RegistryRead::Absent);
        WriteAll(m_dir.filePath("reg.ini"), "[Software/DORNEL/Velmora]\nData=/srv/д/\n");
        qputenv("VELMORA_REGISTRY", m_dir.filePath("reg.ini").toUtf8());
        QCOMPARE(platform::OpenProgramKey()->readString("Data", &s), RegistryRead::Ok);
        QCOMPARE(s, QString("/srv/д/"));
        qunsetenv("VELMORA_REGISTRY");
        QVERIFY(platform::RegistryFilePath().endsWith("/DORNEL/Velmora.ini"));   // /etc/xdg on Debian
    }

    // ---- folders and settings paths ----

    void folderSettings_data()
    {
        QTest::addColumn<QString>("registry");
        QTest::addColumn<QString>("dataDir");
        QTest::addColumn<QString>("backupDir");
        QTest::addColumn<QString>("settingsFile");
        QTest::addColumn<QString>("fallbackFile");
        QTest::newRow("no key") << "" << "Data/" << "Backup/" << "Data/velmora.ini" << "Data/Postavka.ini";
        QTest::newRow("separator appended")
            << "Data=/srv/data\nBackupTo=E:\\Arch" << "/srv/data/" << "E:/Arch/"
            << "/srv/data/velmora.ini" << "/srv/data/Postavka.ini";
        QTest::newRow("separator kept")
            << "Data=/srv/data/\nBackupTo=Arch\\" << "/srv/data/" << "Arch/"
            << "/srv/data/velmora.ini" << "/srv/data/Postavka.ini";
        QTest::newRow("empty values take the defaults")
            << "Data=\nBackupTo=" << "Data/" << "Backup/" << "Data/velmora.ini" << "Data/Postavka.ini";
        QTest::newRow("legacy: settings in the working folder")
            << "Data=/srv/data\nLegacyIniFile=1" << "/srv/data/" << "Backup/" << "velmora.ini" << "Postavka.ini";
        QTest::newRow("legacy zero is off")
            << "LegacyIniFile=dword:00000000" << "Data/" << "Backup/" << "Data/velmora.ini" << "Data/Postavka.ini";
    }
    void folderSettings()
    {
        QFETCH(QString, registry);
        AppConfig config;
        ReadFolderSettings(RegistryFile::fromText("[Software\\DORNEL\\Velmora]\n" + registry), config);
        QTEST(config.DataDir, "dataDir");
        QTEST(config.BackupDir, "backupDir");
        QTEST(config.SettingsFile, "settingsFile");
        QTEST(config.FallbackSettingsFile, "fallbackFile");
    }

    void wrongTypeNamesTheValue_data()
    {
        QTest::addColumn<QString>("registry");
        QTest::addColumn<QString>("value");
        QTest::newRow("Data binary") << "Data=hex:00" << "Data";
        QTest::newRow("BackupTo dword") << "BackupTo=dword:00000001" << "BackupTo";
        QTest::newRow("LegacyIniFile text") << "LegacyIniFile=yes" << "LegacyIniFile";
        QTest::newRow("LegacyIniFile negative") << "LegacyIniFile=-1" << "LegacyIniFile";
    }
    void wrongTypeNamesTheValue()
    {
        QFETCH(QString, registry);
        AppConfig config;
        try {
            ReadFolderSettings(RegistryFile::fromText("[Software\\DORNEL\\Velmora]\n" + registry), config);
            QFAIL("a value of the wrong type was accepted");
        } catch (const RegistryTypeError &e) {
            QTEST(e.valueName(), "value");
        }
    }

    void dataFolderOneLevelOnly()
    {
        QVERIFY(EnsureDataFolder("Data/"));
        QVERIFY(QFileInfo("Data").isDir());
        QVERIFY(EnsureDataFolder("data\\"));      // the same folder, in another case
        QVERIFY(!QFileInfo::exists("data"));
        QVERIFY(!EnsureDataFolder("missing/parent/Data/"));
        QVERIFY(!QFileInfo::exists("missing"));
        WriteAll("plainfile", "x");
        QVERIFY(!EnsureDataFolder("plainfile/"));
    }

    // ---- debug switch and log ----

    void debugSwitch_data()
    {
        QTest::addColumn<QStringList>("parameters");
        QTest::addColumn<bool>("debug");
        QTest::newRow("none") << QStringList() << false;
        QTest::newRow("plain") << QStringList{"/debug"} << true;
        QTest::newRow("capitals and spaces") << QStringList{"  /DEBUG "} << true;
        QTest::newRow("character appended") << QStringList{"/debugx"} << false;
        QTest::newRow("second place") << QStringList{"x", "/debug"} << false;
        QTest::newRow("only spaces") << QStringList{"   "} << false;
        QTest::newRow("tab is no space") << QStringList{"\t/debug"} << false;
    }
    void debugSwitch()
    {
        QFETCH(QStringList, parameters);
        QTEST(IsDebugSwitch(parameters), "debug");
    }

    void debugLogIsAppended()
    {
        const QLocale ru(QLocale::Russian, QLocale::Russia);
        const QDateTime at(QDate(2013, 5, 4), QTime(9, 5, 7));
        const QByteArray header = DebugLogHeader(at, ru);
        QCOMPARE(header, QByteArray("\r\n\r\n============== DEVICES INPUT LOG AT 04.05.2013 09:05:07 ==============\r\n\r\n"));

        AppendDebugLogHeader(at, ru);   // created when missing
        QCOMPARE(ReadAll("velmora.log"), header);
        QFile::remove("velmora.log");
        WriteAll("VELMORA.LOG", "old content");
        AppendDebugLogHeader(at, ru);
        QCOMPARE(ReadAll("VELMORA.LOG"), "old content" + header);
        QVERIFY(!QFileInfo::exists("velmora.log"));
    }

    void systemLocaleIsRussian()
    {
        // The tests run as a Russian workstation does: dates, times and decimal commas.
        const QLocale sys = QLocale::system();
        QCOMPARE(sys.language(), QLocale::Russian);
        QCOMPARE(ShortDateFormat(sys), QString("dd.MM.yyyy"));
        QCOMPARE(LongTimeFormat(sys), QString("HH:mm:ss"));
        QCOMPARE(sys.toString(2.5, 'f', 1), QString("2,5"));
        QCOMPARE(LongTimeFormat(QLocale(QLocale::English, QLocale::UnitedStates)), QString("h:mm:ss AP"));
    }

    // ---- default files ----

    void defaultFilesCopiedOnce()
    {
        // The shipped template, as a build keeps it beside the program.
        InstallDefaultFiles(VELMORA_BINARY_DIR);
        const QByteArray ptn = ReadAll("Defaults/IMPORT.PTN");
        QVERIFY(!ptn.isEmpty());
        QVERIFY(QFileInfo("Defaults/IMPORT.PTN").isWritable());
        // Code page 1251 with CR LF lines; the four lines the import reads.
        QVERIFY(ptn.contains("\r\n"));
        const QStringList lines = SplitLines(FromCp1251(ptn));
        QVERIFY(lines.size() >= 4);
        QVERIFY(lines[0].startsWith("F;I;O;SEX;BIRTHDAY"));
        const auto dayFirst = QRegularExpression(lines[1]).match("05.06.2010");
        QVERIFY(dayFirst.hasMatch());
        QCOMPARE(dayFirst.capturedTexts().mid(1), QStringList({"05", "06", "2010"}));
        const auto yearFirst = QRegularExpression(lines[2]).match("2010-06-05");
        QCOMPARE(yearFirst.capturedTexts().mid(1), QStringList({"2010", "06", "05"}));
        QVERIFY(!QRegularExpression(lines[1]).match("2010-06-05").hasMatch());
        QCOMPARE(lines[3], QString("0"));
        QVERIFY(ptn.contains("\xd8\xe0\xe1\xeb\xee\xed"));   // "Шаблон" in code page 1251

        // An edited template, in whatever case, is the user's own and stays.
        QDir("Defaults").removeRecursively();
        QDir().mkpath("defaults");
        WriteAll("defaults/import.ptn", "FIO;BIRTHDAY\r\n");
        InstallDefaultFiles();
        QCOMPARE(ReadAll("defaults/import.ptn"), QByteArray("FIO;BIRTHDAY\r\n"));
        QVERIFY(!QFileInfo::exists("Defaults"));
    }

    void defaultFilesFromSystemDataFolder()
    {
        // No "Defaults" beside the test program: a system data folder supplies them, and
        // the copy of a read-only shipped file is the user's to edit.
        const QString share = m_dir.filePath("share");
        QDir().mkpath(share + "/velmora/Defaults");
        WriteAll(share + "/velmora/Defaults/IMPORT.PTN", "F;I;O\r\n");
        QFile::setPermissions(share + "/velmora/Defaults/IMPORT.PTN", QFileDevice::ReadOwner | QFileDevice::ReadOther);
        const QByteArray saved = qgetenv("XDG_DATA_DIRS");
        qputenv("XDG_DATA_DIRS", (m_dir.filePath("none") + ":" + share).toUtf8());
        const QString root = DefaultFilesRoot();
        qputenv("XDG_DATA_DIRS", saved);
        QCOMPARE(root, share + "/velmora");

        InstallDefaultFiles(root);
        QCOMPARE(ReadAll("Defaults/IMPORT.PTN"), QByteArray("F;I;O\r\n"));
        QVERIFY(QFileInfo("Defaults/IMPORT.PTN").isWritable());

        // Nowhere to take them from: nothing is made.
        QDir("Defaults").removeRecursively();
        InstallDefaultFiles(QString());
        QVERIFY(!QFileInfo::exists("Defaults"));
    }

    // ---- single instance ----

    void instanceGuard()
    {
        qputenv("XDG_RUNTIME_DIR", m_dir.path().toUtf8());
        QFile::setPermissions(m_dir.path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
        const QString lockFile = platform::InstanceLockFile("Fenrolia");
        QCOMPARE(lockFile, m_dir.filePath("Fenrolia.lock"));
        {
            auto first = platform::CreateInstanceGuard();
            QVERIFY(first->acquire());
            auto second = platform::CreateInstanceGuard();
            QVERIFY(!second->acquire());
        }
        QVERIFY(!QFileInfo::exists(lockFile));
        // A lock left by a process that is gone does not block.
        WriteAll(lockFile, "999999\nvelmora\n" + QSysInfo::machineHostName().toUtf8() + "\n");
        QVERIFY(platform::CreateInstanceGuard()->acquire());
    }

    // ---- version ----

    void version_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("valid");
        QTest::addColumn<QString>("parsed");
        QTest::newRow("four numbers") << "2.0.0.4" << true << "2.0.0.4";
        QTest::newRow("three numbers") << "1.2.3" << true << "1.2.3.0";
        QTest::newRow("16-bit limit") << "65535.0.0.1" << true << "65535.0.0.1";
        QTest::newRow("too large") << "65536.0.0.1" << false << "";
        QTest::newRow("five numbers") << "1.2.3.4.5" << false << "";
        QTest::newRow("text") << "1.x" << false << "";
        QTest::newRow("empty") << "" << false << "";
    }
    void version()
    {
        QFETCH(QString, text);
        QFETCH(bool, valid);
        const auto v = platform::ParseFileVersion(text);
        QCOMPARE(v.has_value(), valid);
        if (v)
            QTEST(QString("%1.%2.%3.%4").arg((*v)[0]).arg((*v)[1]).arg((*v)[2]).arg((*v)[3]), "parsed");
    }

private:
    WorkFolder m_dir;
};

QTEST_GUILESS_MAIN(TestConfiguration)
#include "test_configuration.moc"
