#include "app/platform/beep.h"

#include <QApplication>

namespace vel::platform {

void DefaultBeep()
{
    if (qApp)
        QApplication::beep();
}

} // namespace vel::platform
