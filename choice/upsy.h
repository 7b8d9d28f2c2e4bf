#pragma once
// The choice reaction test window. Created once at start and reused for every test of
// that kind; hidden between uses.
#include <QDialog>

class TFormPsy : public QDialog {
    Q_OBJECT
public:
    explicit TFormPsy(QWidget *parent = nullptr);
};
