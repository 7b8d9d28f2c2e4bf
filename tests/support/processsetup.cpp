// What every test executable does before its application object exists, as the program
// does at its start, so that a test started by hand behaves as under CTest: the browser's
// OpenGL contexts are shared with the rest of the process, and Qt WebEngine's sandbox,
// which cannot run for the root user, is switched off when running as root.
// Run by a static initializer: QTEST_MAIN makes the application object itself.
#include <QCoreApplication>
#include <QtGlobal>

#include <unistd.h>

namespace {

void PrepareTestProcess()
{
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    if (::geteuid() == 0 && qEnvironmentVariableIsEmpty("QTWEBENGINE_DISABLE_SANDBOX"))
        qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
}

Q_CONSTRUCTOR_FUNCTION(PrepareTestProcess)

} // namespace
