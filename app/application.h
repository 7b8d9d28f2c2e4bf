#pragma once
// The application object of the program. Errors that an operation does not catch end
// that operation only: the event that started it is dropped and the user is told what
// went wrong in a message box "Велмора" (and on the error output); the program goes on.
#include <QApplication>

namespace vel {

class VelmoraApplication : public QApplication {
public:
    using QApplication::QApplication;
    bool notify(QObject *receiver, QEvent *e) override;
};

} // namespace vel
