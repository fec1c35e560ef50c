#pragma once

#include <string>
#include <vector>

class CFbConnection;

// A generator that other tables' triggers or procedures also draw keys from
// must never go back below its value: their next keys would repeat keys
// their tables already hold, whether or not the run refills them (a table
// whose source is empty keeps its rows).
// Names those other users in the destination: a table for its triggers,
// otherwise the object with its kind ("procedure NEXT_ID"). False when the
// database cannot say.
bool OtherGeneratorUsers(CFbConnection& dest, const std::string& generator, const std::string& table,
                         std::vector<std::string>& others);
