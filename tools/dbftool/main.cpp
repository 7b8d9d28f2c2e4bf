// velmora-dbftool structure|dump|check|reindex <table.dbf>
//   structure  level, header numbers, memo file and fields
//   dump       every record as tab-separated UTF-8 text, deleted ones marked "*"
//   check      reads the table with its memo and index files; exit code 1 on any fault
//   reindex    builds the production index (.mdx) anew from the records
#include "tools/dbftool/dbftool.h"

#include "store/table.h"

#include <QCoreApplication>
#include <QStringList>

#include <cstdio>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments().mid(1);
    if (args.size() != 2) {
        std::fprintf(stderr, "usage: velmora-dbftool structure|dump|check|reindex <table.dbf>\n");
        return 2;
    }
    QTextStream out(stdout);
    out.setEncoding(QStringConverter::Utf8);
    const QString &command = args[0], &path = args[1];
    try {
        if (command == QLatin1String("structure"))
            return vel::PrintStructure(path, out);
        if (command == QLatin1String("dump"))
            return vel::DumpRecords(path, out);
        if (command == QLatin1String("check"))
            return vel::CheckTable(path, out);
        if (command == QLatin1String("reindex"))
            return vel::RebuildIndexes(path, out);
    } catch (const vel::TableError &e) {
        out.flush();
        std::fprintf(stderr, "velmora-dbftool: %s\n", e.message().toUtf8().constData());
        return 1;
    }
    std::fprintf(stderr, "velmora-dbftool: unknown command \"%s\"\n", command.toUtf8().constData());
    return 2;
}
