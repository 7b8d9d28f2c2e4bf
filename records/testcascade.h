#pragma once
// Deleting a patient takes the patient's stored tests with it. Run before the patient
// record is deleted (the before-delete event of the patient table), with the test table
// narrowed to that patient's IDX.
namespace vel {

class Table;

// Deletes the visible records of the test table, the last one first, until none is left.
// Returns how many were deleted. Throws TableError when a deletion fails; the tests
// deleted before it stay deleted.
int DeletePatientTests(Table &tests);

} // namespace vel
