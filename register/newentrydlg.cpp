#include "register/newentrydlg.h"

#include "ui_newentrydlg.h"

TfmAddRec::TfmAddRec(QWidget *parent) : QDialog(parent), m_ui(std::make_unique<Ui::TfmAddRec>())
{
    m_ui->setupUi(this);
}

TfmAddRec::~TfmAddRec() = default;
