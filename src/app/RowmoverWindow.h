#pragma once

// The window side of the program.

// Runs the main window until it is closed; gives the exit code.
int RunWindow(int argc, char** argv);
// Runs an unattended copy with the progress window shown.
int RunWindowUnattended(int argc, char** argv);

class QByteArray;
// The platform that stands in when no display can be opened.
inline constexpr const char* kNoDisplayPlatform = "offscreen";
// The Qt platforms the windowed unattended run tries, in order: the one the
// environment chooses, then kNoDisplayPlatform.
QByteArray UnattendedPlatforms();
