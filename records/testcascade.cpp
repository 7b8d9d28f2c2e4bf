#include "records/testcascade.h"

#include "store/table.h"

namespace vel {

int DeletePatientTests(Table &tests)
{
    int deleted = 0;
    while (tests.findLast()) {
        tests.deleteRecord();
        ++deleted;
    }
    return deleted;
}

} // namespace vel
