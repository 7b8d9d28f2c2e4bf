#pragma once
// The moving-object reaction test window. Created once at start and reused for every
// test of that kind; hidden between uses.
#include <QDialog>

class TFormRDO : public QDialog {
    Q_OBJECT
public:
    explicit TFormRDO(QWidget *parent = nullptr);
};
