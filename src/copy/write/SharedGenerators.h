#pragma once

#include <string>
#include <vector>

class CFbConnection;
class CStringGrid;

// A generator that other tables' triggers or procedures also draw keys from
// must never go back below its value: their next keys would repeat keys
// their tables already hold, whether or not the run refills them (a table
// whose source is empty keeps its rows).
// Names those other users in the destination: a table for its triggers,
// otherwise the object with its kind ("procedure NEXT_ID"). False when the
// database cannot say.
bool OtherGeneratorUsers(CFbConnection& dest, const std::string& generator, const std::string& table,
                         std::vector<std::string>& others);

// The source's value for a generator that the destination's triggers of a
// table draw from: the one the source's triggers of the table show, else
// that of the source's generator of the same name (a design that numbered
// the rows from the application, or through a trigger the new design adds;
// byName is then true, and such a value only ever raises the generator).
// False when the source has no such generator.
bool SourceGeneratorValue(CFbConnection& source, CStringGrid& sourceTriggers, const std::string& generator,
                          std::string& value, bool& byName);

// What the copy of a table does with the generator that one of the
// destination's trigger rows (CFbConnection::GetTableTriggers) draws from.
struct SGeneratorStep
{
    std::string generator;
    std::string current; // the destination's value before the copy
    std::string value;   // the source's value
    bool back = false;   // setting it would take the generator back
};
// The step for row r of destTriggers; false when the copy leaves that
// generator alone: none, none in the source, or one found only by name that
// would go back.
bool GeneratorStepOf(CFbConnection& source, CStringGrid& sourceTriggers, CStringGrid& destTriggers, int r,
                     SGeneratorStep& step);
