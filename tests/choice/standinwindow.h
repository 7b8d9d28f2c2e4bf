#pragma once
// The controls of the choice window on a plain dialog, for driving the run part without
// the window itself; and what answers the run's closing message.
#include <QApplication>
#include <QChartView>
#include <QComboBox>
#include <QDialog>
#include <QLabel>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTimer>

#include "choice/choicerunner.h"
#include "console/discovery.h"

namespace choicetest {

using namespace vel;
using namespace vel::choice;

// The controls of the choice window, laid out anyhow.
struct StandInWindow {
    StandInWindow()
    {
        c.window = &window;
        c.pgc1 = new QTabWidget(&window);
        auto *test = new QWidget;
        c.pgc1->addTab(test, "Тест");
        c.pgc1->addTab(new QWidget, "Результат");
        c.pgc1->addTab(new QWidget, "График");
        c.pgc1->setGeometry(0, 0, 662, 465);
        c.imgS0 = new QLabel(test);
        c.imgS0->setGeometry(111, 3, 370, 370);
        c.imgSL = new QLabel(test);
        c.imgSL->setGeometry(223, 3, 160, 152);
        c.imgSR = new QLabel(test);
        c.imgSR->setGeometry(223, 3, 160, 152);
        c.lblTextHelp = new QLabel("инструкция", test);
        c.ext_pred = new QLabel(test);
        c.ChartLR = new QChartView(test);
        c.ChartLR->hide();
        c.ext_pred->hide();
        for (QLabel *image : {c.imgS0, c.imgSL, c.imgSR})
            image->hide();
        c.btnTst = new QPushButton(StartCaption, &window);
        c.btnSave = new QPushButton("Сохранить", &window);
        c.btnQit = new QPushButton("Выход", &window);
        c.btnPrnR = new QPushButton("Печать", &window);
        c.dtpDataTest = new QWidget(&window);
        c.lbl1 = new QLabel("Дата теста", &window);
        c.cbb_pult = new QComboBox(&window);
        c.lbl_status = new QLabel(&window);
        c.mmo1 = new QPlainTextEdit(&window);
        c.tmr1 = new QTimer(&window);
        window.resize(764, 497);
    }

    QDialog window;
    ChoiceRunControls c;
};

class FixedDevices : public DeviceListProvider {
public:
    DeviceList PresentDevices() override { return list; }
    DeviceList list;
};

// Answers the closing message when it comes up; keeps what it said.
struct MessageWatcher {
    MessageWatcher()
    {
        QObject::connect(&timer, &QTimer::timeout, [this] {
            if (auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget())) {
                messages << box->windowTitle() + ": " + box->text();
                box->accept();
            }
        });
        timer.start(20);
    }
    QTimer timer;
    QStringList messages;
};

} // namespace choicetest
