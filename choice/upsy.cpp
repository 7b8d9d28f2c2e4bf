#include "choice/upsy.h"

TFormPsy::TFormPsy(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("FormPsy"));
    setWindowTitle(QStringLiteral("Тест реакции выбора"));
    setModal(true);
    resize(764, 497);
}
