// velmora-protocol: see protocoltool.h.
#include <QCoreApplication>
#include <QFile>

#include "tools/protocol/protocoltool.h"

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QFile out, err;
    out.open(stdout, QIODevice::WriteOnly);
    err.open(stderr, QIODevice::WriteOnly);
    return vel::protocoltool::RunProtocolTool(app.arguments(), out, err);
}
