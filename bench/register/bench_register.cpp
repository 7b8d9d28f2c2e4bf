// Fills of the working list on the full register (100 000 patients), through LookupTimed
// on the main window offscreen, as the operator starts them.
//   bench_register [data-folder]   (default: <build>/bench-data/store, shared with bench_store)
// Prints each figure with its target, and what showing the progress of every record would
// cost instead of once a frame.
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QLineEdit>
#include <QProgressBar>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

#include "app/unit1.h"
#include "register/addresstest.h"
#include "register/worklistfill.h"
#include "common/config.h"
#include "store/tablemodel.h"
#include "tools/gendata/gendata.h"
#include "ui_unit1.h"

using namespace vel;

namespace {

constexpr int kPatients = 100000;
constexpr int kTests = 300000;

// Every timing of `runs` runs of f, in milliseconds, sorted.
std::vector<double> Times(int runs, const std::function<void()> &f)
{
    std::vector<double> out;
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer t;
        t.start();
        f();
        out.push_back(t.nsecsElapsed() / 1e6);
    }
    std::sort(out.begin(), out.end());
    return out;
}

void Report(const char *what, const std::vector<double> &ms, double targetMs, int rows)
{
    const double median = ms[ms.size() / 2];
    std::printf("%-50s %7.1f ms median, %7.1f slowest  (%d rows; target <= %g ms: %s)\n", what, median,
                ms.back(), rows, targetMs, ms.back() <= targetMs ? "ok" : "OVER");
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const QString folder = QFileInfo(argc > 1 ? QString::fromLocal8Bit(argv[1])
                                              : QStringLiteral(VELMORA_BENCH_DATA "/store")).absoluteFilePath();
    if (!QFileInfo::exists(folder + QStringLiteral("/patients.dbf"))) {
        std::printf("generating %d patients and %d tests in %s ...\n", kPatients, kTests, qPrintable(folder));
        QDir(folder).removeRecursively();
        GenerateData({folder, kPatients, kTests, 20240601});
    }
    // The window works in a home folder of its own; only the patient table is the data set's.
    QTemporaryDir home;
    QDir::setCurrent(home.path());
    QDir().mkdir(QStringLiteral("data"));
    MutableConfig().DataDir = folder + QLatin1Char('/');

    Tfrm frm;
    frm.statTimer().stop();
    frm.show();
    for (int i = 0; i < 10; ++i)   // until the window is exposed and painted once
        QApplication::processEvents();
    Ui::Tfrm &ui = frm.ui();
    auto rows = [&] { return ui.rdbgr->model()->rowCount(); };

    ui.edSearch->clear();
    const auto full = Times(5, [&] { frm.LookupTimed(); });
    Report("fill, no filter (every patient, sorted by name)", full, 1000, rows());

    ui.edSearch->setText(QStringLiteral("Ив"));
    const auto prefix = Times(11, [&] { frm.LookupTimed(); });
    Report("fill, name prefix 'Ив'", prefix, 50, rows());

    // The same fills with the grid painted afterwards, as the operator sees them.
    const auto prefixShown = Times(11, [&] {
        frm.LookupTimed();
        ui.rdbgr->viewport()->repaint();
    });
    Report("fill, name prefix 'Ив', grid painted", prefixShown, 50, rows());
    ui.edSearch->clear();
    const auto fullShown = Times(3, [&] {
        frm.LookupTimed();
        ui.rdbgr->viewport()->repaint();
    });
    Report("fill, no filter, grid painted", fullShown, 1000, rows());

    // What the progress would cost if every record were shown rather than once a frame,
    // over the first 20 000 patients.
    Database &db = frm.database();
    auto *model = qobject_cast<TableModel *>(ui.rdbgr->model());
    model->setSuspended(true);
    db.pdb.setFilter(QString());
    const QVector<int> some = db.pdb.visibleRecNos().mid(0, 20000);
    auto walk = [&](int frameMs) {
        return Times(3, [&] {
            db.rdb.emptyTable();
            AddressTest address(false, QString());
            FillWorkList(db.pdb, some, db.rdb, address,
                         [&](int k, int n, const QString &fio) {
                             ui.pb1->setValue(50 + 50 * k / n);
                             frm.SetStatusPanelText(0, QStringLiteral("%1: %2").arg(k).arg(fio));
                             ui.pb1->repaint();
                             ui.stat->repaint();
                         },
                         frameMs);
        })[1];
    };
    const double perFrame = walk(16);
    const double perRecord = walk(0);
    model->setSuspended(false);
    std::printf("%-50s %8.1f ms\n", "20 000 patients walked, progress painted once a frame", perFrame);
    std::printf("%-50s %8.1f ms  (%.1fx)\n", "20 000 patients walked, progress painted per record", perRecord,
                perRecord / perFrame);
    return 0;
}
