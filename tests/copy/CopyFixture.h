#pragma once

#include "copy/CCopyEngine.h"
#include "core/FileHelpers.h"
#include "support/CTempDatabase.h"
#include "support/DatabaseFingerprint.h"

#include <gtest/gtest.h>

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
        prepared = engine.PrepareCopy(source.Name(), "", "", dest.Name(), "", "", false, program.Path(), false);
    }

    bool Copy(const std::string& table, int mode = 1) { return engine.RunTable(table, mode); }
    std::string RunLog() const { return ReadWholeFile(engine.m_sLogFile); }
    std::string SqlLog() const { return ReadWholeFile(engine.m_sSqlLogFile); }
    std::string TextLog() const { return ReadWholeFile(engine.m_sTextLogFile); }
    std::string Report() const { return ReadWholeFile(engine.m_sErrorFile); }

    CWatchedDatabase source;
    CTempDatabase dest;
    CTempFolder program;
    CCopyEngine engine;
    int prepared = -1;
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
