#pragma once

#include "copy/write/CBatchInserter.h"
#include "db/FbFault.h"

#include <string>

class CWriterLanes;

// Where the rows of a table's copy go once they are read. Results come back
// through the table's inserter's result handler, in the order the rows were
// handed over, whichever attachment wrote them.
class CRowSink
{
  public:
    virtual ~CRowSink() = default;
    // A row with its values bound; row is left holding storage for reuse.
    virtual void Add(BoundRow& row) = 0;
    // A row that failed before it could be added, in its place.
    virtual void AddFailed(const std::string& message, EFbFault fault) = 0;
    // Sends what is gathered and reports every result.
    virtual void Finish() = 0;
};

// One writer: the table's own inserter, in the table's transaction.
class COneWriterSink final : public CRowSink
{
  public:
    explicit COneWriterSink(CBatchInserter& inserter) : m_inserter(inserter) {}
    void Add(BoundRow& row) override { m_inserter.Add(row); }
    void AddFailed(const std::string& message, EFbFault fault) override { m_inserter.AddFailed(message, fault); }
    void Finish() override { m_inserter.Finish(); }

  private:
    CBatchInserter& m_inserter;
};

// The writer lanes, which commit with the table's transaction in two
// phases (CWriterLanes::CommitWith). A row holding a BLOB written ahead
// belongs to the table's own transaction: it goes to the table's own
// writer, once the rows before it are written.
class CLanesSink final : public CRowSink
{
  public:
    CLanesSink(CBatchInserter& inserter, CWriterLanes& lanes) : m_inserter(inserter), m_lanes(lanes) {}
    void Add(BoundRow& row) override;
    void AddFailed(const std::string& message, EFbFault fault) override;
    void Finish() override;

  private:
    CBatchInserter& m_inserter;
    CWriterLanes& m_lanes;
};
