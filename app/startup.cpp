#include "app/startup.h"

#include "app/application.h"
#include "app/configuration.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QIcon>
#include <QLibraryInfo>
#include <QMessageBox>
#include <QTranslator>

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <memory>
#include <unistd.h>

#include "app/platform/instanceguard.h"
#include "app/platform/registry.h"
#include "app/platform/termination.h"
#include "app/unit1.h"
#include "choice/upsy.h"
#include "moving/rdo.h"
#include "register/newentrydlg.h"
#include "common/paths.h"
#include "common/text.h"
#include "store/table.h"

namespace vel {

namespace {

const QString Caption = QStringLiteral("Велмора");

// Every message that ends the start goes to the error output as well, for whoever reads
// the logs of a start that nobody watched.
void TellAndLog(QMessageBox::Icon icon, const QString &caption, const QString &text)
{
    std::fprintf(stderr, "velmora: %s\n", qPrintable(QString(text).replace(QLatin1Char('\n'), QLatin1Char(' '))));
    QMessageBox box(icon, caption, text, QMessageBox::Ok);
    box.exec();
}

QString NativePath(const QString &path)
{
    return QDir::toNativeSeparators(QFileInfo(path).absoluteFilePath());
}

} // namespace

namespace {

// Settings that must be made before the application object exists.
void PrepareProcess()
{
    // The protocol view is a web view: its contexts are shared with the other OpenGL
    // users of the program, and its sandbox cannot run for the root user.
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    if (::geteuid() == 0 && qEnvironmentVariableIsEmpty("QTWEBENGINE_DISABLE_SANDBOX"))
        qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
}

// Qt's own texts (standard buttons of message boxes, the print and file dialogs, the
// context menus of edits and of the protocol view) in the language of the system locale,
// from Qt's translations folder. A missing catalogue leaves those texts in English.
void LoadQtTranslations(QCoreApplication &app)
{
    const QString folder = QLibraryInfo::path(QLibraryInfo::TranslationsPath);
    for (const QString &catalogue : {QStringLiteral("qt"), QStringLiteral("qtwebengine")}) {
        auto *translator = new QTranslator(&app);
        if (translator->load(QLocale(), catalogue, QStringLiteral("_"), folder))
            QCoreApplication::installTranslator(translator);
        else
            delete translator;
    }
}

// The home folder is the working directory of the whole run.
bool EnterHomeFolder()
{
    const QString home = HomeFolder();
    if (!QDir().mkpath(home) || !QDir::setCurrent(home)) {
        TellAndLog(QMessageBox::Critical, Caption,
                   QStringLiteral("Не удалось создать рабочую папку программы:\n%1").arg(NativePath(home)));
        return false;
    }
    return true;
}

} // namespace

int RunVelmora(int argc, char **argv)
{
    // The parameters as given, before the toolkit takes out its own options.
    QStringList parameters;
    for (int i = 1; i < argc; ++i)
        parameters << QString::fromLocal8Bit(argv[i]);

    PrepareProcess();
    VelmoraApplication app(argc, argv);
    QCoreApplication::setOrganizationName(QStringLiteral("DORNEL"));
    QCoreApplication::setApplicationName(QStringLiteral("Velmora"));
    // Ties the windows to the desktop entry (its icon and name in the task bar).
    QGuiApplication::setDesktopFileName(QStringLiteral("ru.dornel.velmora"));
    if (const QIcon icon = QIcon::fromTheme(QStringLiteral("ru.dornel.velmora")); !icon.isNull())
        QApplication::setWindowIcon(icon);
    LoadQtTranslations(app);
    if (!EnterHomeFolder())
        return 1;

    AppConfig &config = MutableConfig();
    config.AppFormatSettings = QLocale::system();
    config.DebugMode = IsDebugSwitch(parameters);
    if (config.DebugMode) {
        TellAndLog(QMessageBox::Warning, QStringLiteral("Велмора - ОТЛАДКА"),
                   QStringLiteral("Внимание! Вы работаете в режиме отладки!\n"
                                  "За любые неисправности, появившиеся в этом режиме, АО ДОРНЕЛ ответственности не несёт!\n"
                                  "Чтобы запустить программу в рабочем режиме, запустите её без ключа /debug."));
        AppendDebugLogHeader(QDateTime::currentDateTime(), config.AppFormatSettings);
    }

    try {
        ReadFolderSettings(*platform::OpenProgramKey(), config);
    } catch (const RegistryTypeError &e) {
        TellAndLog(QMessageBox::Critical, Caption,
                   QStringLiteral("Неверный тип данных для параметра '%1' в разделе \\Software\\DORNEL\\Velmora "
                                  "системных настроек (%2).\nПрограмма будет закрыта.")
                       .arg(e.valueName(), NativePath(platform::RegistryFilePath())));
        return 1;
    }
    if (!EnsureDataFolder(config.DataDir)) {
        TellAndLog(QMessageBox::Critical, Caption,
                   QStringLiteral("Не удалось создать папку данных:\n%1\n\nОшибка утверждения (unit1, строка 2108). "
                                  "Программа будет закрыта.")
                       .arg(NativePath(config.DataDir)));
        return 1;
    }

    const auto guard = platform::CreateInstanceGuard();
    if (!guard->acquire()) {
        TellAndLog(QMessageBox::Warning, Caption, QStringLiteral("Программа уже запущена!"));
        return 0;
    }

    // The four windows, in this order; all of them live until the process ends.
    std::unique_ptr<Tfrm> frm;
    try {
        frm = std::make_unique<Tfrm>();
    } catch (const TableError &e) {
        TellAndLog(QMessageBox::Critical, Caption, e.message());
        return 1;
    } catch (const SettingsReadError &e) {
        TellAndLog(QMessageBox::Critical, Caption,
                   QStringLiteral("Не удалось прочитать файл настроек:\n%1\n%2\n\nПрограмма будет закрыта.")
                       .arg(NativePath(e.file()), e.reason()));
        return 1;
    } catch (const std::exception &e) {
        TellAndLog(QMessageBox::Critical, Caption, QString::fromLocal8Bit(e.what()));
        return 1;
    }
    auto *fmAddRec = new TfmAddRec(frm.get());
    auto *formPsy = new TFormPsy(frm.get());
    auto *formRDO = new TFormRDO(frm.get());
    frm->SetWindows(fmAddRec, formPsy, formRDO);
    InstallDefaultFiles();

    std::srand(unsigned(std::time(nullptr)));
    platform::OnTerminationRequest([w = frm.get()] { w->close(); });
    frm->show();
    return app.exec();
}

} // namespace vel
