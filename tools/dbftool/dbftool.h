#pragma once
// The commands of velmora-dbftool, writing their report to a text stream (UTF-8).
#include <QString>
#include <QTextStream>

namespace vel {

// Level, header numbers, memo file and the fields of a table.
int PrintStructure(const QString &path, QTextStream &out);
// Every record, deleted ones marked, as tab-separated UTF-8 lines after a line of field
// names; tabs and line breaks inside values are written as \t, \r and \n.
int DumpRecords(const QString &path, QTextStream &out);
// Reads the table with its memo and index files and reports every fault found; returns
// 0 when there is none, 1 otherwise.
int CheckTable(const QString &path, QTextStream &out);
// Builds the production index anew from the records.
int RebuildIndexes(const QString &path, QTextStream &out);

} // namespace vel
