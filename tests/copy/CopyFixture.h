#pragma once

#include "copy/run/CCopyEngine.h"
#include "core/FileHelpers.h"
#include "support/CTempDatabase.h"
#include "support/DatabaseFingerprint.h"

#include "copy/run/CCopyRun.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>

// A source and a destination database made from DDL, an engine prepared for
// a run between them, and the program folder that receives the report. When
// the test ends, the source must hold what the test itself put there: a copy
// never writes to its source.
struct SCopyFixture
{
    SCopyFixture(const std::string& sourceDdl, const std::string& destDdl,
                 const CTempDatabase::SOptions& sourceOptions = {}, const CTempDatabase::SOptions& destOptions = {})
        : source(sourceDdl, sourceOptions), dest(destDdl, destOptions)
    {
        engine.Init(TestUser, TestPassword, 1);
        engine.Journal().SetPath(program.File("TriggerJournal.txt"));
        prepared = engine.PrepareCopy(source.Name(), "", "", dest.Name(), "", "", false, program.Path(), false);
    }

    // True when the table was copied or its source is empty; the outcome is kept.
    bool Copy(const std::string& table, ELogging logging = ELogging::On)
    {
        lastOutcome = engine.RunTable(table, logging);
        return lastOutcome.status == ETableStatus::Copied || lastOutcome.status == ETableStatus::EmptySource;
    }
    std::string RunLog() const { return ReadWholeFile(engine.Settings().files.runLog); }
    std::string SqlLog() const { return ReadWholeFile(engine.Settings().files.sqlLog); }
    std::string TextLog() const { return ReadWholeFile(engine.Settings().files.textLog); }
    std::string Report() const { return ReadWholeFile(engine.Settings().files.errorReport); }

    CWatchedDatabase source;
    CTempDatabase dest;
    CTempFolder program;
    CCopyEngine engine;
    int prepared = -1;
    STableOutcome lastOutcome;
};

inline std::string Entry(const std::string& table, const std::string& message, const std::string& detail = "")
{
    char prefix[256];
    std::snprintf(prefix, sizeof prefix, "<TBL_%-18s>", table.c_str());
    return std::string(prefix) + " " + message + " (" + detail + ")\r\n\r\n";
}

inline size_t CountOf(const std::string& text, const std::string& part)
{
    size_t count = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + part.size()))
        ++count;
    return count;
}

// What a run over several tables reported.
struct SRunRecord
{
    SCopyRunResult result;
    std::vector<std::string> finished; // "TABLE ok" or "TABLE failed", in the order reported
};

// Runs the tables as one copy job; started, when given, is called as each
// table starts (on the copying thread, before the table is touched).
inline SRunRecord RunTables(SCopyFixture& copy, const std::vector<std::string>& tables,
                            const std::function<void(const std::string&)>& started = {},
                            const std::atomic<bool>* stop = nullptr)
{
    CStringGrid grid;
    grid.SetSize(1, static_cast<int>(tables.size()));
    for (size_t i = 0; i < tables.size(); ++i)
        grid.SetCell(0, static_cast<int>(i), tables[i]);
    CCopyJob job{&grid, &copy.engine, ELogging::On, true, {}};
    static const std::atomic<bool> never{false};
    SRunRecord run;
    SCopyRunEvents events;
    events.tableStarted = [&](int, int, const std::string& table, int) {
        if (started)
            started(table);
    };
    events.tableFinished = [&](int index, const std::string& table, bool copied) {
        run.finished.push_back(table + (copied ? " ok" : " failed"));
        // The index names the table's row in the job, whatever order the run took.
        EXPECT_EQ(tables.at(static_cast<size_t>(index)), table);
    };
    run.result = RunCopyJob(job, stop ? *stop : never, events);
    return run;
}

// Database options for a test that runs embedded (false) or through the
// loopback server (true).
inline CTempDatabase::SOptions OnPath(bool viaServer, const std::string& fileName,
                                      const std::string& characterSet = "UTF8")
{
    return CTempDatabase::SOptions{characterSet, viaServer, fileName};
}

// Tests run once through the embedded engine and once through the loopback
// server.
class EmbeddedOrServer : public ::testing::TestWithParam<bool>
{
  protected:
    void SetUp() override
    {
        if (GetParam())
            REQUIRE_TEST_SERVER();
    }
    std::unique_ptr<SCopyFixture> Make(const std::string& sourceDdl, const std::string& destDdl,
                                       const std::string& sourceSet = "UTF8")
    {
        auto copy = std::make_unique<SCopyFixture>(sourceDdl, destDdl, OnPath(GetParam(), "source.fdb", sourceSet),
                                                   OnPath(GetParam(), "dest.fdb"));
        EXPECT_EQ(copy->prepared, 0);
        return copy;
    }
};

inline std::string PathName(const ::testing::TestParamInfo<bool>& info)
{
    return info.param ? "ThroughServer" : "Embedded";
}
