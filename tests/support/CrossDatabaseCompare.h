#pragma once

#include "support/CTempDatabase.h"

#include <string>
#include <vector>

// How many rows of source.table have no row in dest.table with the same
// values in the given columns (NULL equal to NULL only), plus the difference
// of the two row counts. The destination's engine does the comparison and
// reads the source itself (EXECUTE STATEMENT ON EXTERNAL), each source value
// taken into the destination column's type: no value passes through the
// program's own reading and formatting. sourceColumns, when given, are the
// source's expressions for the columns in the same order, and sourceTable
// the source's table when its name is not the same.
int CountMismatchedRows(const CTempDatabase& source, const CTempDatabase& dest, const std::string& table,
                        const std::vector<std::string>& columns, const std::vector<std::string>& sourceColumns = {},
                        const std::string& sourceTable = {});
