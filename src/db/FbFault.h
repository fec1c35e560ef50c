#pragma once

#include <ibase.h>

// Whose fault a failed statement is, as the engine's error codes tell it.
enum class EFbFault
{
    None,  // nothing failed
    Row,   // the row's own values: a constraint, a conversion, a value too long, NULL into NOT NULL
    Table, // anything else (I/O, a full disk, a lost connection, a lock, a shutdown): the work cannot go on
};

// Classifies a status vector. A row fault is named by the first error code
// after those that only name the reporting layer (Dynamic SQL Error);
// a code of a failing engine, connection or lock anywhere in the vector makes
// it a table fault all the same, and so does every code not known to belong
// to a row's values.
EFbFault ClassifyFault(const ISC_STATUS* vector);
