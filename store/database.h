#pragma once
// The tables the main window opens, with their fields, index tags, folders, filters and
// opening order. The window owns one Database; every subsystem reaches the tables
// through it. The patient tables live in the data folder that their owner passes in; the
// test table always in "data\" of the home folder.
#include <QLocale>

#include "store/table.h"

namespace vel {

// Each Define* configures a closed Table as the system uses it (folder, name, level,
// storage, open mode, access, field and index definitions, filter and its options).
// dbPeople: patients.dbf in dataDir, read-write, created when missing
void DefinePeopleTable(Table &t, const QString &dataDir);
// pdb: patients.dbf in dataDir, read-only, must exist
void DefinePeopleView(Table &t, const QString &dataDir);
void DefineWorkList(Table &t);     // rdb: "tabrpt" in memory, tag F selected after open
void DefineTestTable(Table &t);    // dbfpsy: Psy.dbf in "data\", created when missing, filter "(idx=0)"

// The index tags the system defines for one of its table files ("patients.dbf",
// "Psy.dbf", matched without regard to case); none for any other file.
QVector<IndexDef> SystemIndexDefs(const QString &fileName);

struct Database {
    Table dbPeople;
    Table pdb;
    Table rdb;
    Table dbfpsy;

    // Defines the four tables, the patient tables in dataDir (as the configuration writes
    // it, "Data\\" or "/srv/data/"; relative to the home folder) and every table writing
    // dates in `locale`, and opens them in their order (dbPeople before pdb, so that a
    // missing patients.dbf is created before the read-only view opens it). Throws TableError.
    void Open(const QString &dataDir, const QLocale &locale = QLocale::system());
    // Closes every table that is open, writing pending changes.
    void Close();
};

} // namespace vel
