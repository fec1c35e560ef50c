#pragma once

// The type codes of RDB$FIELDS.RDB$FIELD_TYPE, as the catalogue stores them
// (SColumnInfo::fieldType).
enum EFieldType : int
{
    FieldSmallint = 7,
    FieldInteger = 8,
    FieldQuad = 9,
    FieldFloat = 10,
    FieldDFloat = 11,
    FieldDate = 12,
    FieldTime = 13,
    FieldChar = 14,
    FieldBigint = 16,
    FieldBoolean = 23,
    // Types of newer servers, which this client can only name.
    FieldDecfloat16 = 24,
    FieldDecfloat34 = 25,
    FieldInt128 = 26,
    FieldDouble = 27,
    FieldTimeTz = 28,
    FieldTimestampTz = 29,
    FieldTimestamp = 35,
    FieldVarchar = 37,
    FieldCstring = 40,
    FieldBlob = 261,
};

// RDB$FIELD_SUB_TYPE of a BLOB that holds text.
constexpr int BlobSubTypeText = 1;

// Text with a character set: CHAR, VARCHAR, CSTRING (which only external
// functions declare) and text BLOBs.
constexpr bool IsTextType(int fieldType, int blobSubType)
{
    return fieldType == FieldChar || fieldType == FieldVarchar || fieldType == FieldCstring ||
           (fieldType == FieldBlob && blobSubType == BlobSubTypeText);
}

// The text a table's own columns can declare, which CAST writes back as
// CHAR, VARCHAR or BLOB SUB_TYPE TEXT: a CSTRING is left out.
constexpr bool IsDeclaredTextType(int fieldType, int blobSubType)
{
    return fieldType == FieldChar || fieldType == FieldVarchar ||
           (fieldType == FieldBlob && blobSubType == BlobSubTypeText);
}
