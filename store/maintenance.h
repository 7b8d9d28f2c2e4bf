#pragma once
// Close-time maintenance of the data folder: the index files are deleted so that every
// start rebuilds them from the records, and a ZIP archive of the whole data folder is
// written into the backup folder. The window side (status text, disabling the window,
// message boxes) is reached through hooks, so that this code needs no widgets.
#include <QString>

#include <functional>

namespace vel {

struct MaintenanceHooks {
    std::function<void(const QString &text)> showStatus;            // ShowStatusMessage
    std::function<void()> disableWindow;                             // before archiving
    std::function<void(const QString &caption, const QString &text)> warn;  // warning box
};

// Runs after the tables are closed: deletes DataDir's *.mdx, writes the backup archive
// into BackupDir and reports through the hooks. Never throws.
void CloseMaintenance(const MaintenanceHooks &hooks);

// The index repair: deletes the two production index files of the data folder. Returns
// the status text to show ("Индексы обновлены.").
QString FixIndices();

} // namespace vel
