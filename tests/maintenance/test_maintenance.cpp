// Close-time maintenance and the index repair: which index files go, what the backup
// archive holds (checked with Info-ZIP's unzip), and what is left behind when the backup
// folder cannot be made or the disk fills up.
#include <QCryptographicHash>
#include <QDateTime>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QThread>
#include <QtTest>

#include <memory>
#include <sys/resource.h>
#include <sys/stat.h>

#include "store/backup/backup_archive.h"
#include "store/database.h"
#include "store/maintenance.h"

using namespace vel;

namespace {

const QString CannotCreate = QStringLiteral(
    "warn Велмора | Ошибка! Невозможно создать архивную папку. Освободите место и снимите "
    "защиту от записи на архивном диске.");

struct Recorder {
    QStringList calls;
    MaintenanceHooks hooks()
    {
        return {[this](const QString &t) { calls << QStringLiteral("status ") + t; },
                [this] { calls << QStringLiteral("disable"); },
                [this](const QString &c, const QString &t) { calls << QStringLiteral("warn %1 | %2").arg(c, t); }};
    }
};

void writeFile(const QString &path, const QByteArray &content)
{
    QDir().mkpath(QFileInfo(path).path());
    QFile f(path);
    QVERIFY2(f.open(QIODevice::WriteOnly) && f.write(content) == content.size(), qPrintable(path));
}

QByteArray randomBytes(qsizetype size)
{
    QByteArray b(size, Qt::Uninitialized);
    QRandomGenerator gen(7);
    gen.fillRange(reinterpret_cast<quint32 *>(b.data()), size / 4);
    return b;
}

// Relative path -> content digest; folders end with "/", pipes and other specials are "*".
QMap<QString, QByteArray> snapshot(const QString &folder)
{
    QMap<QString, QByteArray> out;
    const QDir root(QFileInfo(folder).absoluteFilePath());
    QDirIterator it(folder, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QFileInfo fi(it.next());
        const QString rel = root.relativeFilePath(fi.absoluteFilePath());
        if (fi.isDir()) {
            out.insert(rel + QLatin1Char('/'), {});
        } else if (fi.isFile()) {
            QFile f(fi.filePath());
            f.open(QIODevice::ReadOnly);
            out.insert(rel, QCryptographicHash::hash(f.readAll(), QCryptographicHash::Sha1));
        } else {
            out.insert(rel, "*");
        }
    }
    return out;
}

struct Ran {
    int exitCode;
    QString output;
};

Ran run(const QString &program, const QStringList &args)
{
    QProcess p;
    p.start(program, args);
    if (!p.waitForFinished(60000) || p.exitStatus() != QProcess::NormalExit)
        return {-1, p.errorString()};
    return {p.exitCode(), QString::fromUtf8(p.readAllStandardOutput() + p.readAllStandardError())};
}

QStringList listing(const QString &zip)
{
    QStringList names = run(QStringLiteral("unzip"), {QStringLiteral("-Z1"), zip}).output.split(
        QLatin1Char('\n'), Qt::SkipEmptyParts);
    names.sort();
    return names;
}

QStringList sorted(QStringList list)
{
    list.sort();
    return list;
}

QStringList filesIn(const QString &folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                                  QDir::Name);
}

// Every archive of the backup folder passes "unzip -t".
#define VERIFY_ARCHIVES_TEST_OK(folder)                                                          \
    for (const QString &name : filesIn(folder)) {                                                \
        const Ran t = run(QStringLiteral("unzip"), {QStringLiteral("-tq"), QDir(folder).filePath(name)}); \
        QVERIFY2(t.exitCode == 0, qPrintable(name + QLatin1Char(' ') + t.output));               \
    }

const QString ChildSwitch = QStringLiteral("--close-in");

const QRegularExpression StampName(QStringLiteral(R"(^(\d{4}-\d\d-\d\d_\d\d-\d\d-\d\d)\.zip$)"));

} // namespace

class TestMaintenance : public QObject {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> m_home;
    QString m_startDir = QDir::currentPath();
    QString m_dataDir;      // as the configuration writes them
    QString m_backupDir;

private Q_SLOTS:
    void init()
    {
        m_home = std::make_unique<QTemporaryDir>();
        QVERIFY(m_home->isValid());
        QVERIFY(QDir::setCurrent(m_home->path()));
        m_dataDir = QStringLiteral("Data\\");
        m_backupDir = QStringLiteral("Backup\\");
    }
    void cleanup()
    {
        QDir::setCurrent(m_startDir);
        m_home.reset();
    }

    // A close deletes the top-level index files and leaves one archive, named by the time
    // of the close, that unpacks to exactly the data folder.
    void closeArchivesWholeDataFolder()
    {
        writeFile("Data/patients.dbf", QByteArray("\x04patients ") + QByteArray(5000, ' '));
        writeFile("Data/patients.dbt", "memo");
        writeFile("Data/Patients.MDX", "index");
        writeFile("Data/Psy.dbf", "tests");
        writeFile("Data/Psy.fpt", randomBytes(100000));
        writeFile("Data/psy.mdx", "index");
        writeFile("Data/velmora.ini", "[Общие настройки]\r\n");
        writeFile("Data/.hidden", "hidden");
        writeFile("Data/sub/deep/notes.txt", "deep");
        writeFile("Data/sub/keep.mdx", "not a production index of the data folder");
        writeFile(QStringLiteral("Data/Отчёт.txt"), "non-ASCII name");
        QVERIFY(QDir().mkpath("Data/empty"));

        Recorder rec;
        const QDateTime before = QDateTime::currentDateTime().addMSecs(-1000);
        CloseMaintenance(m_dataDir, m_backupDir, rec.hooks());
        const QDateTime after = QDateTime::currentDateTime();

        QCOMPARE(rec.calls, QStringList({"status Архивирую базу...", "disable"}));
        QCOMPARE(QDir("Data").entryList({"*.mdx"}, QDir::Files | QDir::Hidden), QStringList());
        QVERIFY(QFile::exists("Data/sub/keep.mdx"));

        const QStringList archives = filesIn("Backup");
        QCOMPARE(archives.size(), 1);
        const QRegularExpressionMatch m = StampName.match(archives.first());
        QVERIFY2(m.hasMatch(), qPrintable(archives.first()));
        const QDateTime stamp = QDateTime::fromString(m.captured(1), "yyyy-MM-dd_hh-mm-ss");
        QVERIFY(stamp >= before && stamp <= after);
        VERIFY_ARCHIVES_TEST_OK("Backup");

        const QString zip = "Backup/" + archives.first();
        QCOMPARE(listing(zip), sorted({"Data/", "Data/.hidden", "Data/Psy.dbf", "Data/Psy.fpt",
                                       "Data/empty/", "Data/patients.dbf", "Data/patients.dbt",
                                       "Data/sub/", "Data/sub/deep/", "Data/sub/deep/notes.txt",
                                       "Data/sub/keep.mdx", "Data/velmora.ini",
                                       QStringLiteral("Data/Отчёт.txt")}));
        QCOMPARE(run("unzip", {"-q", zip, "-d", "out"}).exitCode, 0);
        QCOMPARE(snapshot("out/Data"), snapshot("Data"));
    }

    // The system's own tables: after a close their index files are gone and the archive
    // holds the tables; the next start rebuilds the indexes and finds every record again.
    void indexesAreRebuiltAtNextStart()
    {
        QVERIFY(QDir().mkdir("Data"));
        Database db;
        db.Open(m_dataDir);
        for (int idx : {7, 3}) {
            db.dbPeople.append();
            db.dbPeople.setValue("IDX", idx);
            db.dbPeople.setValue("FIO", QStringLiteral("Пациент %1").arg(idx));
            db.dbPeople.post();
            db.dbfpsy.append();
            db.dbfpsy.setValue("IDX", idx);
            db.dbfpsy.setValue("TYPE", QStringLiteral("Тест реакции выбора"));
            db.dbfpsy.post();
        }
        db.Close();
        const QStringList indexes = QDir("Data").entryList({"*.mdx"});

        Recorder rec;
        CloseMaintenance(m_dataDir, m_backupDir, rec.hooks());
        QCOMPARE(rec.calls.filter("warn"), QStringList());
        QCOMPARE(QDir("Data").entryList({"*.mdx"}), QStringList());
        const QStringList archives = filesIn("Backup");
        QCOMPARE(archives.size(), 1);
        QCOMPARE(listing("Backup/" + archives.first()),
                 sorted({"Data/", "Data/Psy.dbf", "Data/Psy.fpt", "Data/patients.dbf", "Data/patients.dbt"}));

        db.Open(m_dataDir);
        QCOMPARE(QDir("Data").entryList({"*.mdx"}), indexes);
        db.dbPeople.setIndexName("I");
        QVERIFY(db.dbPeople.findFirst());
        QCOMPARE(db.dbPeople.asString("FIO"), QStringLiteral("Пациент 3"));
        db.dbfpsy.setFilter("(IDX=7)");
        QCOMPARE(db.dbfpsy.exactRecordCount(), 1);
        db.Close();
    }

    // A backup folder inside the data folder is left out, so an archive never holds the
    // earlier ones; when it is the data folder itself, its archives are left out.
    void backupFolderInsideDataIsLeftOut_data()
    {
        QTest::addColumn<QString>("backupDir");
        QTest::addColumn<QString>("backupOnDisk");
        QTest::newRow("sub-folder") << "Data\\Backup\\" << "Data/Backup";
        QTest::newRow("sub-folder, other case") << "data\\BACKUP\\" << "Data/Backup";
        QTest::newRow("the data folder itself") << "Data\\" << "Data";
    }
    void backupFolderInsideDataIsLeftOut()
    {
        QFETCH(QString, backupDir);
        QFETCH(QString, backupOnDisk);
        m_backupDir = backupDir;
        writeFile("Data/patients.dbf", "records");
        writeFile(backupOnDisk + "/2020-01-01_00-00-00.zip", randomBytes(200000));

        Recorder rec;
        CloseMaintenance(m_dataDir, m_backupDir, rec.hooks());
        CloseMaintenance(m_dataDir, m_backupDir, rec.hooks());   // the same second, most likely: a second name

        QCOMPARE(rec.calls.filter("warn"), QStringList());
        QStringList made = QDir(backupOnDisk).entryList({"*.zip"}, QDir::Files);
        made.removeOne("2020-01-01_00-00-00.zip");
        QCOMPARE(made.size(), 2);
        for (const QString &zip : made) {
            const QStringList names = listing(backupOnDisk + "/" + zip);
            QVERIFY2(names.contains("Data/patients.dbf"), qPrintable(names.join(',')));
            QCOMPARE(names.filter(".zip"), QStringList());
            QCOMPARE(names.filter("Data/Backup"), QStringList());
        }
        QCOMPARE(QFileInfo(backupOnDisk + "/" + made[0]).size(), QFileInfo(backupOnDisk + "/" + made[1]).size());
    }

    // Closes within one second never replace an archive: each gets its own name, and an
    // archive already there keeps its content.
    void sameSecondGivesDistinctNames()
    {
        writeFile("Data/patients.dbf", "records");
        QVERIFY(QDir().mkdir("Backup"));
        writeFile("Backup/2013-05-14_16-22-05.zip", "earlier archive");
        const QList<ArchiveFolder> folders{{"Data/", "Data"}};

        const ArchiveResult first = WriteBackupArchive(folders, "Backup/", "2013-05-14_16-22-05");
        const ArchiveResult second = WriteBackupArchive(folders, "Backup/", "2013-05-14_16-22-05");

        QCOMPARE(first.code, 0);
        QCOMPARE(second.code, 0);
        QCOMPARE(first.archivePath, QString("Backup/2013-05-14_16-22-05_2.zip"));
        QCOMPARE(second.archivePath, QString("Backup/2013-05-14_16-22-05_3.zip"));
        QFile earlier("Backup/2013-05-14_16-22-05.zip");
        QVERIFY(earlier.open(QIODevice::ReadOnly));
        QCOMPARE(earlier.readAll(), QByteArray("earlier archive"));
        QCOMPARE(listing(second.archivePath), QStringList({"Data/", "Data/patients.dbf"}));
    }

    // The test table lives in "data\": with the default data folder it is the same folder
    // (names matched without regard to case); with another data folder it is archived
    // beside it and its index deleted too.
    void testTableFolderIsArchived_data()
    {
        QTest::addColumn<QString>("dataDir");
        QTest::addColumn<QStringList>("files");
        QTest::addColumn<QStringList>("entries");
        const QStringList table{"Psy.dbf", "Psy.fpt", "Psy.mdx"};
        QTest::newRow("default data folder")
            << "Data\\" << QStringList{"Data/patients.dbf", "Data/patients.mdx", "Data/Psy.dbf", "Data/Psy.mdx"}
            << QStringList{"Data/", "Data/Psy.dbf", "Data/patients.dbf"};
        QTest::newRow("folder spelled in lower case on disk")
            << "Data\\" << QStringList{"data/patients.dbf", "data/Psy.dbf", "data/Psy.fpt", "data/PSY.MDX"}
            << QStringList{"data/", "data/Psy.dbf", "data/Psy.fpt", "data/patients.dbf"};
        QTest::newRow("data folder elsewhere")
            << "Base\\" << QStringList{"Base/patients.dbf", "Base/patients.mdx", "data/Psy.dbf", "data/Psy.fpt", "data/Psy.mdx"}
            << QStringList{"Base/", "Base/patients.dbf", "data/", "data/Psy.dbf", "data/Psy.fpt"};
        QTest::newRow("another folder named Data")
            << "other/Data/" << QStringList{"other/Data/patients.dbf", "data/Psy.dbf"}
            << QStringList{"Data/", "Data/patients.dbf", "data (2)/", "data (2)/Psy.dbf"};
        QTest::newRow("data folder inside the test table's")
            << "data/people/" << QStringList{"data/people/patients.dbf", "data/people/patients.mdx", "data/Psy.dbf", "data/Psy.mdx"}
            << QStringList{"data/", "data/Psy.dbf", "data/people/", "data/people/patients.dbf"};
    }
    void testTableFolderIsArchived()
    {
        QFETCH(QString, dataDir);
        QFETCH(QStringList, files);
        QFETCH(QStringList, entries);
        m_dataDir = dataDir;
        for (const QString &f : files)
            writeFile(f, f.toUtf8());

        Recorder rec;
        CloseMaintenance(m_dataDir, m_backupDir, rec.hooks());

        QCOMPARE(rec.calls.filter("warn"), QStringList());
        for (const QString &f : files)
            QCOMPARE(QFile::exists(f), !f.endsWith("mdx", Qt::CaseInsensitive));
        const QStringList archives = filesIn("Backup");
        QCOMPARE(archives.size(), 1);
        QCOMPARE(listing("Backup/" + archives.first()), sorted(entries));
        VERIFY_ARCHIVES_TEST_OK("Backup");
    }

    // The backup folder cannot be made (running as root, a read-only parent would not stop
    // it; a parent that is a regular file does): the message, no archive, indexes still gone.
    void backupFolderCannotBeCreated_data()
    {
        QTest::addColumn<QString>("backupDir");
        QTest::newRow("parent is a file") << "blocker\\Backup\\";
        QTest::newRow("a file has the name") << "blocker\\";
        QTest::newRow("parent missing (one level is made)") << "missing\\Backup\\";
    }
    void backupFolderCannotBeCreated()
    {
        QFETCH(QString, backupDir);
        m_backupDir = backupDir;
        writeFile("blocker", "a file");
        writeFile("Data/patients.dbf", "records");
        writeFile("Data/patients.mdx", "index");

        Recorder rec;
        CloseMaintenance(m_dataDir, m_backupDir, rec.hooks());

        QCOMPARE(rec.calls, QStringList{CannotCreate});
        QCOMPARE(filesIn("Data"), QStringList{"patients.dbf"});
        QVERIFY(QFileInfo("blocker").isFile());
        QVERIFY(!QFileInfo::exists("missing"));
    }

    // The disk fills up while the archive is written (a file-size limit on the process):
    // the error with its code, nothing at all left in the backup folder, the data untouched.
    void diskFullLeavesNoArchive()
    {
        writeFile("Data/patients.dbf", randomBytes(3 << 20));
        writeFile("Data/Psy.dbf", "tests");
        writeFile("Data/sub/notes.txt", "notes");
        const auto before = snapshot("Data");

        rlimit old{};
        QCOMPARE(getrlimit(RLIMIT_FSIZE, &old), 0);
        rlimit small = old;
        small.rlim_cur = 512 * 1024;
        QCOMPARE(setrlimit(RLIMIT_FSIZE, &small), 0);
        Recorder rec;
        CloseMaintenance(m_dataDir, m_backupDir, rec.hooks());
        setrlimit(RLIMIT_FSIZE, &old);

        QCOMPARE(rec.calls.size(), 3);
        QCOMPARE(rec.calls.mid(0, 2), QStringList({"status Архивирую базу...", "disable"}));
        const QRegularExpressionMatch m = QRegularExpression(
            "^warn Велмора — Закрытие \\| Ошибка архивации! Код (\\d+)\nНедостаточно места").match(rec.calls[2]);
        QVERIFY2(m.hasMatch(), qPrintable(rec.calls[2]));
        QVERIFY(m.captured(1).toInt() > 0);
        QCOMPARE(filesIn("Backup"), QStringList());
        QCOMPARE(snapshot("Data"), before);
    }

    // The program is killed while the archive is written: whatever is left carries a
    // temporary name, never an archive name, and the next close writes a whole archive.
    void crashWhileArchivingLeavesNoArchiveName()
    {
        writeFile("Data/patients.dbf", randomBytes(40 << 20));
        QProcess child;
        child.start(QCoreApplication::applicationFilePath(), {ChildSwitch, QDir::currentPath()});
        QVERIFY(child.waitForStarted());
        QElapsedTimer waited;
        waited.start();
        while (filesIn("Backup").isEmpty() && waited.elapsed() < 20000)
            QThread::msleep(2);
        child.kill();
        QVERIFY(child.waitForFinished());
        QCOMPARE(child.exitStatus(), QProcess::CrashExit);

        const QStringList left = filesIn("Backup");
        QVERIFY(!left.isEmpty());
        for (const QString &name : left)
            QVERIFY2(!StampName.match(name).hasMatch(), qPrintable(name));
        Recorder rec;
        CloseMaintenance(m_dataDir, m_backupDir, rec.hooks());
        QCOMPARE(rec.calls.filter("warn"), QStringList());
        const QStringList archives = filesIn("Backup").filter(StampName);
        QCOMPARE(archives.size(), 1);
        QCOMPARE(run("unzip", {"-tq", "Backup/" + archives.first()}).exitCode, 0);
    }

    void missingDataFolderIsAnError()
    {
        m_dataDir = QStringLiteral("Nowhere\\");
        Recorder rec;
        CloseMaintenance(m_dataDir, m_backupDir, rec.hooks());
        QCOMPARE(rec.calls.size(), 3);
        QVERIFY2(rec.calls[2].startsWith("warn Велмора — Закрытие | Ошибка архивации! Код 9\n"),
                 qPrintable(rec.calls[2]));
        QCOMPARE(filesIn("Backup"), QStringList());
    }

    // Pipes, sockets and dangling links are skipped (reading a pipe would hang the close);
    // a linked file is stored with its content, a linked folder is not entered (it may loop).
    void specialFilesAreSkipped()
    {
        writeFile("Data/patients.dbf", "records");
        writeFile("elsewhere.txt", "linked content");
        QCOMPARE(mkfifo("Data/pipe", 0600), 0);
        QVERIFY(QFile::link("../elsewhere.txt", "Data/linked.txt"));
        QVERIFY(QFile::link("nothing-here", "Data/dangling"));
        QVERIFY(QFile::link("..", "Data/loop"));

        Recorder rec;
        CloseMaintenance(m_dataDir, m_backupDir, rec.hooks());

        QCOMPARE(rec.calls.filter("warn"), QStringList());
        const QString zip = "Backup/" + filesIn("Backup").value(0);
        QCOMPARE(listing(zip), QStringList({"Data/", "Data/linked.txt", "Data/patients.dbf"}));
        QCOMPARE(run("unzip", {"-p", zip, "Data/linked.txt"}).output, QString("linked content"));
    }

    // Temporaries of a write cut short by a crash are cleared at the next close once they
    // are an hour old; a fresh one may belong to a write under way and other files stay.
    void staleTemporariesAreRemoved()
    {
        writeFile("Data/patients.dbf", "records");
        const QStringList old{"2020-01-01_00-00-00.zip.part", "2020-01-01_00-00-00.zip.part.Ab12Cd",
                              "2020-01-01_00-00-00_2.zip.part"};
        const QStringList kept{"2020-01-01_00-00-01.zip.part", "notes.zip.part", "2020-01-01_00-00-00.zip"};
        for (const QString &name : old + kept)
            writeFile("Backup/" + name, "partial");
        for (const QString &name : old + QStringList{"notes.zip.part"}) {
            QFile f("Backup/" + name);
            QVERIFY(f.open(QIODevice::ReadWrite));
            QVERIFY(f.setFileTime(QDateTime::currentDateTime().addSecs(-7200), QFileDevice::FileModificationTime));
        }

        Recorder rec;
        CloseMaintenance(m_dataDir, m_backupDir, rec.hooks());

        const QStringList left = filesIn("Backup");
        QCOMPARE(left.size(), kept.size() + 1);
        for (const QString &name : kept)
            QVERIFY2(left.contains(name), qPrintable(name));
    }

    // The index repair deletes the two production indexes, wherever their tables live.
    void fixIndices_data()
    {
        QTest::addColumn<QString>("dataDir");
        QTest::addColumn<QStringList>("files");
        QTest::addColumn<QStringList>("left");
        QTest::newRow("default")
            << "Data\\" << QStringList{"Data/Patients.MDX", "Data/Psy.mdx", "Data/other.mdx", "Data/Psy.dbf"}
            << QStringList{"Data/other.mdx", "Data/Psy.dbf"};
        QTest::newRow("data folder elsewhere")
            << "Base\\" << QStringList{"Base/patients.mdx", "Base/psy.mdx", "data/Psy.mdx"}
            << QStringList{"Base/psy.mdx"};
        QTest::newRow("nothing to delete") << "Data\\" << QStringList{"Data/patients.dbf"}
                                           << QStringList{"Data/patients.dbf"};
    }
    void fixIndices()
    {
        QFETCH(QString, dataDir);
        QFETCH(QStringList, files);
        QFETCH(QStringList, left);
        for (const QString &f : files)
            writeFile(f, "x");
        QCOMPARE(FixIndices(dataDir), QString("Индексы обновлены."));
        for (const QString &f : files)
            QCOMPARE(QFile::exists(f), left.contains(f));
    }
};

// Run with ChildSwitch and a home folder, the executable is the program closing there.
int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    if (argc == 3 && ChildSwitch == QLatin1String(argv[1])) {
        QDir::setCurrent(QString::fromLocal8Bit(argv[2]));
        CloseMaintenance(QStringLiteral("Data\\"), QStringLiteral("Backup\\"), {});
        return 0;
    }
    TestMaintenance test;
    return QTest::qExec(&test, argc, argv);
}
#include "test_maintenance.moc"
