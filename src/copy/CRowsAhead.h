#pragma once

#include "db/CFbCursor.h"

#include <cstddef>
#include <vector>

// The rows of a cursor fetched ahead in batches, so that two cursors on
// different attachments can be fetched at the same time on two threads
// while the rows are compared on one. A row is made current in its cursor
// by Next, so Column, Value and OpenBlob read it as if it had just been
// fetched.
class CRowsAhead
{
  public:
    explicit CRowsAhead(CFbCursor& cursor) : m_cursor(cursor) {}

    // Sets how many rows a batch holds (at least one).
    void SetBatchRows(size_t rows) { m_nBatch = rows < 1 ? 1 : rows; }
    // True when the next Next needs a Fill first.
    bool NeedsFill() const { return m_nNext == m_nCount && m_nState == 1; }
    // Fetches the next batch; it touches only this cursor, so it may run on
    // another thread while the rows of another CRowsAhead are used.
    void Fill();
    // Makes the next row current, fetching the next batch when this one is
    // used up: 1 a row, 0 the end, -1 a fetch error (the cursor's
    // LastErrorMessage says why).
    int Next();

  private:
    CFbCursor& m_cursor;
    std::vector<std::vector<char>> m_rows;
    size_t m_nBatch = 256;
    size_t m_nCount = 0;
    size_t m_nNext = 0;
    int m_nState = 1; // of the fetches behind the batch: 1 more rows, 0 the end, -1 an error
};

// Fills those of the two that need it, both at once when both do.
void FillBoth(CRowsAhead* a, CRowsAhead* b);
