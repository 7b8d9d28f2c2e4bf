#pragma once
// Paths of the system are written with either separator and name folders and files
// without regard to case, as on the platform the data comes from: "data\" finds an
// existing "Data/", "psy.mdx" finds "Psy.mdx". Relative paths resolve against the home
// folder, which start-up makes the working directory.
#include <QString>

namespace vel {

// "\" becomes "/"; nothing else changes.
QString SlashPath(const QString &path);

// The existing file or folder that the path names, each component matched without regard
// to case when no exact match exists. Components that match nothing keep the spelling of
// the path, so the result is also the place to create a missing file. A relative path
// stays relative (to the working directory). A trailing separator is kept.
QString ResolvePath(const QString &path);

// The home folder: $VELMORA_HOME when set, else the per-user application data folder.
QString HomeFolder();

} // namespace vel
