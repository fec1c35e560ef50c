#pragma once

#include <iosfwd>
#include <string>
#include <vector>

// What the command line asks for.
enum class ECommand
{
    Window,     // no arguments
    Unattended, // six arguments
    Help,
    Version,
    Usage, // anything else: the usage goes to standard error
};

ECommand ParseCommandLine(const std::vector<std::string>& arguments);
void PrintUsage(std::ostream& out);
void PrintVersion(std::ostream& out);
// True when a window can be shown (an X11 or Wayland display, or a Qt
// platform chosen explicitly).
bool DisplayAvailable();
