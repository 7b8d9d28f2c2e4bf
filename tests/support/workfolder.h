#pragma once
// A fresh, empty working folder for each test function, as the program's home folder is
// its working directory; and the two file helpers the tests write and check with.
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

class WorkFolder {
public:
    // Empties the folder, creates the sub-folders and makes it the working directory.
    void enter(const QStringList &subFolders = {})
    {
        QVERIFY(m_dir.isValid());
        if (m_saved.isEmpty())
            m_saved = QDir::currentPath();
        QDir(m_dir.path()).removeRecursively();
        QDir().mkpath(m_dir.path());
        for (const QString &sub : subFolders)
            QDir().mkpath(m_dir.filePath(sub));
        QVERIFY(QDir::setCurrent(m_dir.path()));
    }
    void leave() { QDir::setCurrent(m_saved); }
    QString path() const { return m_dir.path(); }
    QString filePath(const QString &name) const { return m_dir.filePath(name); }

private:
    QTemporaryDir m_dir;
    QString m_saved;
};

inline void WriteAll(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    QVERIFY2(f.open(QIODevice::WriteOnly), qPrintable(path));
    f.write(bytes);
}

inline QByteArray ReadAll(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}
