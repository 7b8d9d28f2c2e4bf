#include "moving/rdo.h"

TFormRDO::TFormRDO(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("FormRDO"));
    setWindowTitle(QStringLiteral("Реакция на движ.объект"));
    setModal(true);
    resize(764, 497);
}
