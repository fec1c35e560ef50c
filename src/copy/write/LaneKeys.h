#pragma once

#include "copy/write/CBatchInserter.h"
#include "db/ConcurrentInsertQueries.h"

#include <cstddef>
#include <string>
#include <vector>

struct UCollator;

// The text by which rows of a unique key meet in the destination, for the
// choice of a writer lane: values that the key's collations hold equal give
// equal texts. Values that differ may give equal texts too (they only share
// a lane), never the other way round. Trailing blanks never count; letter
// case counts for no text (the destination's case-sensitive collations
// compare fewer values equal, which is harmless here); accents count unless
// the column's collation ignores them. Used by one thread.
class CLaneKeys
{
  public:
    // key: the unique key's columns; positions: where each one stands in a row.
    CLaneKeys(const std::vector<SKeyColumn>& key, const std::vector<size_t>& positions);
    ~CLaneKeys();
    CLaneKeys(const CLaneKeys&) = delete;
    CLaneKeys& operator=(const CLaneKeys&) = delete;

    bool Empty() const { return m_columns.empty(); }
    std::string KeyOf(const BoundRow& row);

  private:
    enum class EFold
    {
        Case,       // letter case aside (ASCII letters alone for a case-sensitive collation)
        CaseAccent, // letter case and accents aside, as a Unicode collation compares them
    };
    struct SColumn
    {
        size_t position = 0;
        EFold fold = EFold::Case;
    };

    void AppendText(std::string& key, const std::string& text, EFold fold);
    UCollator* Collator(EFold fold);

    std::vector<SColumn> m_columns;
    UCollator* m_pCaseBlind = nullptr;
    UCollator* m_pCaseAccentBlind = nullptr;
    std::u16string m_utf16; // reused for each value
    std::string m_sortKey;
};
