#pragma once

// Two ordered row streams, the source's and the destination's, compared side
// by side without holding either whole.
#include "copy/verify/CTableVerifier.h"
#include "db/CFbCursor.h"

#include <string>
#include <vector>

// What orders both sides alike: an integer key by its number, anything else
// by the bytes of its text.
struct SOrderKey
{
    std::string sourceExpression;
    std::string destExpression;
    bool integer = false;
    std::string name;
    size_t valueColumn = 0; // the compared column that holds the key
    int column = 0;         // the result column the rows are ordered by
    bool shown = true;      // named in the log's key text (not a BLOB's hash)
};

class CComparison
{
  public:
    // valueOffset: the result column of the first compared column, after the
    // keys that need a column of their own.
    // throughDest: per column, the destination's type that its server
    // converts the source's value to (empty: the source read it as that type).
    CComparison(CFbConnection& source, CFbConnection& dest, const std::vector<SVerifyColumn>& columns,
                const std::vector<SOrderKey>& keys, int valueOffset, const std::vector<std::string>& throughDest)
        : m_source(source), m_dest(dest), m_sourceRows(source), m_destRows(dest), m_columns(columns), m_keys(keys),
          m_nValueOffset(valueOffset), m_throughDest(throughDest)
    {
    }

    void Run(const std::string& sourceSql, const std::string& destSql, STableVerification& result);

  private:
    int CompareKeys();
    void CompareValues(STableVerification& result);
    bool SameValue(size_t column, std::string& sourceText, std::string& destText);
    // Whether the destination's server makes the destination's value of the source's.
    bool ConvertsAlike(size_t column, const XSQLVAR& source, const XSQLVAR& dest, const std::string& sourceText,
                       const std::string& destText);
    std::string KeyText(CFbCursor& cursor);
    std::string Literal(CFbCursor& cursor, int i);
    // Compares the BLOBs of column i of both rows without holding either whole.
    bool SameBlob(int i);

    CFbConnection& m_source;
    CFbConnection& m_dest;
    CFbCursor m_sourceRows;
    CFbCursor m_destRows;
    const std::vector<SVerifyColumn>& m_columns;
    const std::vector<SOrderKey>& m_keys;
    const int m_nValueOffset;
    const std::vector<std::string>& m_throughDest;
};
