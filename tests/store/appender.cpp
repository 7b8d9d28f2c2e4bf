// A second process for the engine's multi-process tests: appends records with memos to a
// person table and reports each one as soon as it is posted.
//   store_appender <folder> <dbase7|foxpro> <writer> <count>
// Record i of writer w has IDX w*100000+i, FIO "W<w> #<i>" and a memo naming both.
#include <QCoreApplication>

#include <cstdio>

#include "store/table.h"
#include "tests/support/tablefixture.h"

using namespace vel;

QString MemoOf(int writer, int i)
{
    return QStringLiteral("writer %1 record %2 ").arg(writer).arg(i).repeated(1 + i % 7);
}

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() != 5)
        return 2;
    const TableLevel level = args[2] == QLatin1String("foxpro") ? TableLevel::FoxPro : TableLevel::DBase7;
    const int writer = args[3].toInt(), count = args[4].toInt();
    try {
        Table t;
        testing::DefinePersons(t, args[1], level, QStringLiteral("shared.dbf"));
        t.setIndexDefs({});
        t.open();
        for (int i = 0; i < count; ++i) {
            t.append();
            t.setValue("IDX", writer * 100000 + i);
            t.setValue("FIO", QStringLiteral("W%1 #%2").arg(writer).arg(i));
            t.setValue("NOTE", MemoOf(writer, i));
            t.post();
            std::printf("%d\n", i);
            std::fflush(stdout);
        }
        t.close();
    } catch (const TableError &e) {
        std::fprintf(stderr, "%s\n", qPrintable(e.message()));
        return 1;
    }
    return 0;
}
