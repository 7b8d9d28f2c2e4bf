#include "app/application.h"

#include <QMessageBox>

#include <cstdio>
#include <exception>

#include "store/table.h"

namespace vel {

namespace {

void ReportUncaught(const QString &text)
{
    std::fprintf(stderr, "velmora: %s\n", qPrintable(text));
    QMessageBox::critical(QApplication::activeWindow(), QStringLiteral("Велмора"), text);
}

} // namespace

bool VelmoraApplication::notify(QObject *receiver, QEvent *e)
{
    try {
        return QApplication::notify(receiver, e);
    } catch (const TableError &err) {
        ReportUncaught(err.message());
    } catch (const std::exception &err) {
        ReportUncaught(QString::fromLocal8Bit(err.what()));
    }
    return false;
}

} // namespace vel
