#pragma once

#include "core/CStringGrid.h"
#include "db/SchemaQueries.h"

#include <map>
#include <string>
#include <vector>

class CFbConnection;
class CRunLogs;

// The steps of a table's copy around its rows, each logged in the table's
// entries; false when the step failed.

// Deletes the destination table's rows in the open transaction; refused
// when an ON DELETE rule would reach rows of a table the copy leaves alone.
// An empty name succeeds at once.
bool EmptyTable(CFbConnection& connection, const std::string& table, CRunLogs& logs);
// Sets the generators that the destination table's triggers use to the
// source's values; a step back that would repeat other tables' keys is not
// taken.
bool SetGenerators(CFbConnection& source, CFbConnection& connection, CStringGrid& sourceTriggerGrid,
                   const std::string& table, CRunLogs& logs);
// Restarts the identity columns' sequences after both the source's
// sequence and every copied key.
bool SetIdentities(CFbConnection& connection, const std::string& table, const std::vector<SColumnInfo>& destInfo,
                   const std::map<std::string, std::string>& sourceIdentities, CRunLogs& logs);
// The current values of the identity columns' sequences, by column.
std::map<std::string, std::string> ReadIdentities(CFbConnection& connection, const std::vector<SColumnInfo>& info);
