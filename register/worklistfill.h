#pragma once
// The walk of a working-list fill: the patients that passed the patient view's filter
// are copied into the working list when their address passes the address test.
#include <QString>
#include <QVector>

#include <functional>

namespace vel {

class AddressTest;
class Table;

// Shows the operator where the fill is: the k-th of n records, with its name.
using FillProgress = std::function<void(int k, int n, const QString &fio)>;

// Appends a working-list row for each of `recNos` (records of `people`, in order) whose
// ADDRESS passes `address`, and returns how many rows were appended. Each row holds IDX,
// CHK true, FIO, SEX through NormalizeText, BIRTHDAY, ADDRESS, LASTLOG, INSURANCE and
// MINSURANCE; SCHOOL, CLASS and LETTER stay empty.
//
// `progress` is called for the first and the last record and in between at most once
// every `frameMs` milliseconds, so that showing it never dominates the walk.
// Throws AddressTestTooSlow and TableError; the rows appended before stay.
int FillWorkList(const Table &people, const QVector<int> &recNos, Table &workList, AddressTest &address,
                 const FillProgress &progress, int frameMs = 16);

} // namespace vel
