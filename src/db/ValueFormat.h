#pragma once

#include "core/CStringGrid.h"

#include <cstdint>
#include <functional>
#include <ibase.h>
#include <string>

// How fetched values become text.
enum class EValueForm
{
    // The form shown to users: trimmed texts, six-decimal doubles, BLOB ids.
    Display,
    // The form a copy needs: every byte and digit of the value, NULL marked,
    // BLOB contents instead of their identifiers.
    Exact,
};

// A formatted value with the marks that the text alone cannot carry.
struct SColumnValue
{
    std::string text;
    std::uint8_t marks = CStringGrid::MarkNone;
};

// Reads the contents of a BLOB by its identifier; false on failure.
using BlobReader = std::function<bool(const ISC_QUAD& id, std::string& contents)>;

// The display text of a fetched column value (before trimming).
std::string FormatColumnValue(const XSQLVAR& column);
// The value of a fetched column in the chosen form; a BLOB in exact form is
// read through `readBlob`. False when reading the BLOB failed.
bool FormatColumnValue(const XSQLVAR& column, EValueForm form, const BlobReader& readBlob, SColumnValue& value);
// The text without leading and trailing 0x20 bytes.
std::string TrimSpaces(const std::string& text);
// Fills the five-row column grid for the first n columns; nothing without a grid.
void DescribeColumns(XSQLDA* descriptor, CStringGrid* columnGrid, int n);

// A timestamp as CAST writes it: "2020-01-01 10:00:00.1234".
std::string TimestampText(const ISC_TIMESTAMP& stamp);
// The scaled decimal text of an integer value with a Firebird scale.
std::string FormatScaledInteger(std::int64_t value, int scale);
// The shortest text that reads back to the same double.
std::string FormatExactDouble(double value);
// The shortest text that reads back to the same float.
std::string FormatExactFloat(float value);
// Bytes per character of a Firebird character set id (1 when unknown).
int CharacterSetBytesPerChar(int characterSetId);
// Firebird character set id 1 (OCTETS) holds bytes, not text.
bool IsBinaryCharacterSet(int characterSetId);
