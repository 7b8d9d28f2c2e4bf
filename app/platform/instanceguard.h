#pragma once
// The single-instance guard "Fenrolia": held from the moment it is taken to the end of
// the process, however the process ends. On Windows a named kernel mutex; on Linux a
// lock file in the user's runtime folder ($XDG_RUNTIME_DIR, else the temporary folder),
// which a lock left behind by a process that no longer runs does not block.
#include <QString>

#include <memory>

namespace vel::platform {

class InstanceGuard {
public:
    virtual ~InstanceGuard() = default;
    // Takes the guard. False when another process holds it (also another user's process
    // whose guard this process may not touch); any other failure lets the program run.
    virtual bool acquire() = 0;
};

std::unique_ptr<InstanceGuard> CreateInstanceGuard(const QString &name = QStringLiteral("Fenrolia"));

// Where the Linux guard keeps its lock file.
QString InstanceLockFile(const QString &name);

} // namespace vel::platform
