#pragma once
// The texts of the patient selection: the dBASE filters that narrow the patient tables
// and the readable description of the filters that are on. Plain functions over the
// values of the filter controls; the window reads its controls into FilterSettings.
//
// Every text that comes from the operator goes into a filter as a quoted constant, so
// quotes, parentheses, "and" or "or" in it never change the filter's structure.
#include <QString>

namespace vel {

// The filter controls of the working page.
struct FilterSettings {
    bool bySex = false;        // cbBySexFlt
    int sexItem = 0;           // rgBySex: 0 boys ("м"), 1 girls ("ж"), -1 none chosen
    bool byBirthday = false;   // cbByBDayFlt
    qint64 birthday = 0;       // edByBDay: leading digits of the birthday as YYYYMMDD
    bool byAddress = false;    // cbByAddressFlt
    QString address;           // ByAddress as typed
};

// The filter of the patient view from the birthday and sex filters, joined with " and "
// in that order; empty when neither is on:
//   (SUBSTR(DTOS(BIRTHDAY),1,3)='199') and ((SEX='ж') or (SEX='Ж'))
QString BuildSelectionFilter(const FilterSettings &filters);

// The name search: names that begin with `text`, "(SUBSTR(FIO,1,2)='Ив')". An empty text
// gives "(SUBSTR(FIO,1,0)='')", which every name passes.
QString NameSearchFilter(const QString &text);

// The name search put before a selection filter; either may be empty.
QString JoinFilters(const QString &first, const QString &second);

// The one patient with this number: "(IDX=12)".
QString PatientFilter(int idx);

// The description of the filters that are on, "(девочки, д/р 199X-XX-XX, в адресе "ленина")",
// or the empty text. A sex filter with neither item chosen is switched off (bySex cleared).
QString DescribeFilters(FilterSettings &filters);

// Leading birthday digits as a date pattern: "199" gives "199X-XX-XX", "2010" gives
// "2010-XX-XX", eight digits the date with its two dashes.
QString FormatBirthdayPattern(const QString &digits);

} // namespace vel
