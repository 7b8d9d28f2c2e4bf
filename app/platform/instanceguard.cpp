#include "app/platform/instanceguard.h"

#include <QDir>
#include <QLockFile>
#include <QStandardPaths>

namespace vel::platform {

namespace {

class LockFileGuard : public InstanceGuard {
public:
    explicit LockFileGuard(const QString &path) : m_lock(path)
    {
        // Never stale by age: a running instance may run for days. A lock whose process
        // has died is stale and is taken over.
        m_lock.setStaleLockTime(0);
    }

    bool acquire() override
    {
        if (m_lock.tryLock(0))
            return true;
        switch (m_lock.error()) {
        case QLockFile::LockFailedError:
        case QLockFile::PermissionError:
            return false;
        default:
            return true;   // the guard cannot be made here; do not keep the user out
        }
    }

private:
    QLockFile m_lock;
};

} // namespace

QString InstanceLockFile(const QString &name)
{
    QString dir;
    if (!qEnvironmentVariableIsEmpty("XDG_RUNTIME_DIR"))
        dir = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (dir.isEmpty())
        dir = QDir::tempPath();
    return QDir(dir).filePath(name + QStringLiteral(".lock"));
}

std::unique_ptr<InstanceGuard> CreateInstanceGuard(const QString &name)
{
    return std::make_unique<LockFileGuard>(InstanceLockFile(name));
}

} // namespace vel::platform
