// The Debian package, made from this build with cpack into a scratch folder and
// unpacked there with dpkg-deb (never installed on the machine): its control fields, its
// exact file list, the desktop entry, metainfo and lintian verdicts, and the unpacked
// program started with a fresh home folder up to its main window.
#include <QDir>
#include <QDirIterator>
#include <QImage>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

#include "tests/support/runprogram.h"

using namespace e2e;

namespace {

struct Run {
    int code = -1;
    QString output;   // standard output and error together
};

Run Command(const QString &program, const QStringList &args, int timeoutMs = 300000,
            const QString &folder = {})
{
    QProcess p;
    p.setProcessChannelMode(QProcess::MergedChannels);
    // The tools' own messages in English, whatever the locale of the tests.
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("LC_ALL", "C.UTF-8");
    env.insert("LANG", "C.UTF-8");
    p.setProcessEnvironment(env);
    if (!folder.isEmpty())
        p.setWorkingDirectory(folder);
    p.start(program, args);
    Run r;
    if (!p.waitForFinished(timeoutMs)) {
        p.kill();
        p.waitForFinished(5000);
        r.output = program + QStringLiteral(" did not finish");
        return r;
    }
    r.code = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    r.output = QString::fromUtf8(p.readAll());
    return r;
}

QString Field(const QString &deb, const QString &name)
{
    return Command("dpkg-deb", {"-f", deb, name}).output.trimmed();
}

// "/usr/bin/velmora" for every file of the unpacked tree, links included.
QStringList FilesUnder(const QString &root)
{
    QStringList files;
    QDirIterator it(root, QDir::Files | QDir::System | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext())
        files << it.next().mid(root.size());
    files.sort();
    return files;
}

} // namespace

class TestPackage : public QObject {
    Q_OBJECT
    QTemporaryDir m_scratch;
    QString m_deb;
    QString m_root;

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(m_scratch.isValid());
        // Packages this build as it stands; nothing is compiled again.
        const Run cpack = Command("cpack", {"-G", "DEB", "-B", m_scratch.filePath("out")}, 600000,
                                  VELMORA_BINARY_DIR);
        QVERIFY2(cpack.code == 0, qPrintable(cpack.output));
        const QStringList debs = QDir(m_scratch.filePath("out")).entryList({"*.deb"}, QDir::Files);
        QCOMPARE(debs.size(), 1);
        m_deb = m_scratch.filePath("out/" + debs.first());
        m_root = m_scratch.filePath("root");
        const Run unpack = Command("dpkg-deb", {"-x", m_deb, m_root});
        QVERIFY2(unpack.code == 0, qPrintable(unpack.output));
    }

    void controlFields()
    {
        const QString arch = Command("dpkg", {"--print-architecture"}).output.trimmed();
        QCOMPARE(QFileInfo(m_deb).fileName(), QString("velmora_%1_%2.deb").arg(VELMORA_VERSION_STRING, arch));
        QCOMPARE(Field(m_deb, "Package"), QString("velmora"));
        QCOMPARE(Field(m_deb, "Version"), QString(VELMORA_VERSION_STRING));
        QCOMPARE(Field(m_deb, "Architecture"), arch);
        QCOMPARE(Field(m_deb, "Section"), QString("science"));
        QVERIFY(Field(m_deb, "Maintainer").contains(QRegularExpression("<[^@> ]+@[^@> ]+>$")));
        const QString description = Field(m_deb, "Description");
        QVERIFY2(description.contains("reaction tests") && description.contains("реакции выбора"),
                 qPrintable(description));
        // Computed from the binaries' libraries, plus what is loaded at run time.
        const QStringList depends = Field(m_deb, "Depends").split(QRegularExpression(",\\s*"));
        for (const char *lib : {"libqt6core6", "libqt6widgets6", "libqt6webenginewidgets6", "libqt6serialport6",
                                   "libqt6charts6", "libzip4", "libc6"}) {
            QVERIFY2(depends.indexOf(QRegularExpression("^" + QString(lib) + "( .*)?$")) >= 0,
                     qPrintable(QString(lib) + " missing from " + depends.join(", ")));
        }
        QVERIFY(depends.contains("qt6-translations-l10n"));
        QVERIFY(depends.contains("qt6-qpa-plugins"));
    }

    void fileList()
    {
        const QString id = QStringLiteral("ru.dornel.velmora");
        QStringList expected = {
            "/usr/bin/velmora",
            "/usr/share/man/man1/velmora.1.gz",
            "/usr/share/velmora/Defaults/IMPORT.PTN",
            "/usr/share/applications/" + id + ".desktop",
            "/usr/share/metainfo/" + id + ".metainfo.xml",
            "/usr/share/icons/hicolor/scalable/apps/" + id + ".svg",
            "/usr/share/icons/hicolor/48x48/apps/" + id + ".png",
            "/usr/share/icons/hicolor/256x256/apps/" + id + ".png",
            "/usr/share/doc/velmora/copyright",
            "/usr/share/doc/velmora/changelog.gz",
            "/usr/share/doc/velmora/Velmora.ini.example",
        };
        for (const QString &tool : QString(VELMORA_TOOLS).split(','))
            expected << "/usr/bin/" + tool << "/usr/share/man/man1/" + tool + ".1.gz";
        expected.sort();
        // Nothing else: no tests, no machine-wide settings file under /etc.
        QCOMPARE(FilesUnder(m_root), expected);

        for (const QString &program : expected.filter("/usr/bin/"))
            QVERIFY2(QFileInfo(m_root + program).isExecutable(), qPrintable(program));
        QFile shipped(m_root + "/usr/share/velmora/Defaults/IMPORT.PTN"), source(VELMORA_SOURCE_DIR "/app/defaults/IMPORT.PTN");
        QVERIFY(shipped.open(QIODevice::ReadOnly) && source.open(QIODevice::ReadOnly));
        QCOMPARE(shipped.readAll(), source.readAll());
        for (int size : {48, 256}) {
            const QImage icon(m_root + QString("/usr/share/icons/hicolor/%1x%1/apps/%2.png").arg(size).arg(id));
            QCOMPARE(icon.size(), QSize(size, size));
        }
        // Binaries are stripped of their debugging sections.
        const Run file = Command("file", {"-b", m_root + "/usr/bin/velmora"});
        QVERIFY2(file.output.contains("ELF") && file.output.contains(", stripped"), qPrintable(file.output));
    }

    void validators_data()
    {
        QTest::addColumn<QString>("program");
        QTest::addColumn<QStringList>("args");
        QTest::newRow("desktop entry")
            << "desktop-file-validate" << QStringList{"usr/share/applications/ru.dornel.velmora.desktop"};
        QTest::newRow("metainfo") << "appstreamcli"
                                  << QStringList{"validate", "--no-net", "usr/share/metainfo/ru.dornel.velmora.metainfo.xml"};
        QTest::newRow("manual pages") << "sh" << QStringList{"-c", "for p in usr/share/man/man1/*.gz; do "
                                                                   "MANWIDTH=80 man --warnings -E UTF-8 -l -Tutf8 -Z \"$p\" >/dev/null || exit 1; done"};
    }
    void validators()
    {
        QFETCH(QString, program);
        QFETCH(QStringList, args);
        const Run r = Command(program, args, 60000, m_root);
        QVERIFY2(r.code == 0, qPrintable(r.output));
        QVERIFY2(!r.output.contains(QRegularExpression("\\b(error|warning)\\b", QRegularExpression::CaseInsensitiveOption)),
                 qPrintable(r.output));
    }

    void lintianFindsNoError()
    {
        const Run r = Command("lintian", {"--fail-on", "error", m_deb}, 600000);
        QVERIFY2(r.code == 0, qPrintable(r.output));
        QVERIFY2(!r.output.contains(QRegularExpression("^E: ", QRegularExpression::MultilineOption)), qPrintable(r.output));
    }

    // The unpacked program in a fresh home folder, with the shipped settings example as its
    // machine-wide settings: the main window comes up, the default files come from the
    // installed share folder, and the window class is the one the desktop entry names.
    void unpackedProgramStarts()
    {
        QVERIFY2(!qEnvironmentVariableIsEmpty("DISPLAY"), "needs an X server (run under xvfb-run)");
        const XServerHold hold;
        QVERIFY(hold.ok());
        Workplace w;
        QVERIFY(QFile::copy(m_root + "/usr/share/doc/velmora/Velmora.ini.example", w.registry()));
        auto p = w.start({}, m_root + "/usr/bin/velmora");
        const QStringList main = WaitForWindow(MainCaption, p->processId(), 60000);
        QVERIFY2(!main.isEmpty(), DescribeWindows(p->processId()));
        QFile copied(w.home() + "/Defaults/IMPORT.PTN"), shipped(m_root + "/usr/share/velmora/Defaults/IMPORT.PTN");
        QVERIFY(copied.open(QIODevice::ReadOnly) && shipped.open(QIODevice::ReadOnly));
        QCOMPARE(copied.readAll(), shipped.readAll());

        QFile desktop(m_root + "/usr/share/applications/ru.dornel.velmora.desktop");
        QVERIFY(desktop.open(QIODevice::ReadOnly));
        const QString wmClass = QRegularExpression("^StartupWMClass=(.*)$", QRegularExpression::MultilineOption)
                                    .match(QString::fromUtf8(desktop.readAll())).captured(1);
        QVERIFY(!wmClass.isEmpty());
        const Run xprop = Command("xprop", {"-id", main.first(), "WM_CLASS"});
        QVERIFY2(xprop.output.contains(QRegularExpression("= \"[^\"]*\", \"" + QRegularExpression::escape(wmClass) + "\"")),
                 qPrintable(xprop.output + " / " + wmClass));
        Stop(*p);
        QCOMPARE(p->exitCode(), 0);
    }
};

QTEST_GUILESS_MAIN(TestPackage)
#include "test_package.moc"
