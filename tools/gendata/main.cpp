// velmora-gendata <folder> [--patients N] [--tests N] [--seed S]
// Writes a realistic data set (patients.dbf/.dbt/.mdx and Psy.dbf/.fpt/.mdx) into an empty
// folder, for benchmarks and for trying the program on a full register.
#include "tools/gendata/gendata.h"

#include "store/table.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QStringList>

#include <cstdio>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments().mid(1);
    vel::GenerateOptions options;
    const auto usage = [] {
        std::fprintf(stderr, "usage: velmora-gendata <folder> [--patients N] [--tests N] [--seed S]\n");
        return 2;
    };
    for (int i = 0; i < args.size(); ++i) {
        const QString &a = args[i];
        if (a == QLatin1String("--patients") || a == QLatin1String("--tests") || a == QLatin1String("--seed")) {
            bool ok = false;
            const qlonglong v = i + 1 < args.size() ? args[i + 1].toLongLong(&ok) : 0;
            if (!ok || v < 0 || v > 10000000)
                return usage();
            ++i;
            if (a == QLatin1String("--patients"))
                options.patients = int(v);
            else if (a == QLatin1String("--tests"))
                options.tests = int(v);
            else
                options.seed = uint32_t(v);
        } else if (a.startsWith(QLatin1String("--")) || !options.folder.isEmpty()) {
            return usage();
        } else {
            options.folder = a;
        }
    }
    if (options.folder.isEmpty())
        return usage();
    QElapsedTimer timer;
    timer.start();
    try {
        vel::GenerateData(options);
    } catch (const vel::TableError &e) {
        std::fprintf(stderr, "velmora-gendata: %s\n", qPrintable(e.message()));
        return 1;
    }
    std::printf("%d patients, %d tests written to %s in %.1f s\n", options.patients, options.tests,
                qPrintable(options.folder), timer.elapsed() / 1000.0);
    return 0;
}
