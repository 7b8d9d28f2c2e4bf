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

// Runs after the tables are closed, on the calling thread, and returns when done. The
// folders are written as the configuration writes them ("Data\", relative to the home
// folder or absolute):
// 1. deletes dataDir's *.mdx (and Psy.mdx of the test table's folder "data\" when that is
//    another folder); a file that cannot be deleted is passed over;
// 2. creates backupDir (one level) when it is missing; when it still does not exist,
//    warns "Ошибка! Невозможно создать архивную папку. ..." and stops;
// 3. showStatus("Архивирую базу..."), disableWindow(), then writes backupDir +
//    "yyyy-mm-dd_hh-nn-ss.zip" holding dataDir (and the test table's folder when apart),
//    see WriteBackupArchive; on failure warns "Ошибка архивации! Код N" with the reason on
//    a second line, caption "Велмора — Закрытие". No archive is left behind on failure.
// Never throws; the closing goes on whatever happened. Hooks left empty are not called.
void CloseMaintenance(const QString &dataDir, const QString &backupDir, const MaintenanceHooks &hooks);

// The index repair: deletes patients.mdx of dataDir and Psy.mdx of the test
// table's folder (missing or undeletable files are passed over); the indexes are rebuilt
// when the tables are next opened. Returns the status text to show ("Индексы обновлены.").
QString FixIndices(const QString &dataDir);

} // namespace vel
