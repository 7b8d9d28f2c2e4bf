#pragma once
// A control of a window found by the name its layout gives it. A missing name is a fault
// of the test or of the layout and stops the test at once with that name.
#include <QObject>
#include <QtGlobal>

template <class T>
T *Control(QObject *root, const char *name)
{
    T *control = root->findChild<T *>(QString::fromLatin1(name));
    if (!control)
        qFatal("%s has no %s named %s", qPrintable(root->objectName()), T::staticMetaObject.className(), name);
    return control;
}
