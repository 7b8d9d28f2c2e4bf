// velmora-register import [--yes] FILE
// velmora-register export [--yes]
//
// The import of a pupil list through Defaults/IMPORT.PTN and the export of the register
// to Exported/People.csv, the very functions behind the settings page's hidden buttons,
// for administrators. Works in the program's home folder ($VELMORA_HOME, else the
// per-user folder) with the data folder of the machine-wide settings, and takes the
// tables' locks as the program does, so it is safe while the program runs.
//
// Without --yes the question is asked on the terminal. Exit codes: 0 done, 1 an error
// (the error box's text is printed, kind name included), 2 wrong arguments, 3 declined.
#include <QCoreApplication>
#include <QDate>
#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QTextStream>

#include <cstdio>
#include <iostream>
#include <string>

#include "app/configuration.h"
#include "app/platform/registry.h"
#include "register/patientexport.h"
#include "register/patientimport.h"
#include "common/config.h"
#include "common/paths.h"
#include "store/database.h"

using namespace vel;

namespace {

void Print(FILE *to, const QString &text)
{
    std::fputs(text.toLocal8Bit().constData(), to);
    std::fputc('\n', to);
    std::fflush(to);
}

int Usage()
{
    Print(stderr, QStringLiteral("usage: velmora-register import [--yes] FILE\n"
                                 "       velmora-register export [--yes]"));
    return 2;
}

bool Confirm(const QString &question)
{
    std::fputs((question + QStringLiteral(" [y/N] ")).toLocal8Bit().constData(), stdout);
    std::fflush(stdout);
    std::string answer;
    QString a;
    if (std::getline(std::cin, answer))
        a = QString::fromLocal8Bit(answer).trimmed().toLower();
    if (a == QLatin1String("y") || a == QLatin1String("yes") || a == QStringLiteral("д") || a == QStringLiteral("да"))
        return true;
    Print(stdout, QStringLiteral("\nОтменено."));
    return false;
}

// The home folder as the program's start-up makes it: the working directory, the data
// folder of the machine-wide settings, the default files.
bool EnterHome()
{
    const QString home = HomeFolder();
    if (!QDir().mkpath(home) || !QDir::setCurrent(home)) {
        Print(stderr, QStringLiteral("velmora-register: не удалось открыть рабочую папку %1").arg(home));
        return false;
    }
    AppConfig &config = MutableConfig();
    config.AppFormatSettings = QLocale::system();
    try {
        ReadFolderSettings(*platform::OpenProgramKey(), config);
    } catch (const RegistryTypeError &e) {
        Print(stderr, QStringLiteral("velmora-register: неверный тип параметра '%1' в %2")
                          .arg(e.valueName(), platform::RegistryFilePath()));
        return false;
    }
    if (!EnsureDataFolder(config.DataDir)) {
        Print(stderr, QStringLiteral("velmora-register: не удалось создать папку данных %1").arg(config.DataDir));
        return false;
    }
    InstallDefaultFiles();
    return true;
}

int Import(const QString &file, bool yes)
{
    if (!yes && !Confirm(ImportQuestion(QDate::currentDate())))
        return 3;
    Table people, tests;
    DefinePeopleTable(people, Config().DataDir);
    DefineTestTable(tests);
    people.open();
    tests.open();
    const ImportOutcome out = ImportPatientFile(people, tests, file, QDateTime::currentDateTime());
    Print(stdout, QStringLiteral("%1: строк прочитано %2, принято %3, отклонено %4")
                      .arg(file).arg(out.rows).arg(out.accepted).arg(out.refused));
    if (out.failed) {
        Print(stderr, out.clipboardText());
        return 1;
    }
    return 0;
}

int Export(bool yes)
{
    const QString path = QFileInfo(ResolvePath(PeopleExportPath())).absoluteFilePath();
    if (!yes && !Confirm(QStringLiteral("Выгрузить всех пациентов в %1?").arg(path)))
        return 3;
    Table people;
    DefinePeopleTable(people, Config().DataDir);
    people.open();
    const CsvExportResult result = ExportPeople(people);
    Print(stdout, QStringLiteral("%1: записей выгружено %2").arg(path).arg(result.records));
    if (result.failed) {
        Print(stderr, result.message());
        return 1;
    }
    return 0;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setOrganizationName(QStringLiteral("DORNEL"));
    QCoreApplication::setApplicationName(QStringLiteral("Velmora"));
    QStringList args = app.arguments().mid(1);
    const bool yes = args.removeAll(QStringLiteral("--yes")) > 0;
    if (args.isEmpty())
        return Usage();
    const QString command = args.takeFirst();
    if (!((command == QLatin1String("import") && args.size() == 1) || (command == QLatin1String("export") && args.isEmpty())))
        return Usage();
    // The data file is named from where the tool was started.
    const QString file = command == QLatin1String("import") ? QFileInfo(args.first()).absoluteFilePath() : QString();
    if (!EnterHome())
        return 1;
    try {
        return command == QLatin1String("import") ? Import(file, yes) : Export(yes);
    } catch (const ImportError &e) {
        Print(stderr, QStringLiteral("%1 -> %2").arg(e.kind(), e.text()));
    } catch (const ExportError &e) {
        Print(stderr, QStringLiteral("%1 -> %2").arg(e.kind(), e.text()));
    } catch (const TableError &e) {
        Print(stderr, QStringLiteral("TableError -> %1").arg(e.message()));
    }
    return 1;
}
