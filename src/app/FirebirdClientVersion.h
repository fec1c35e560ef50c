#pragma once

#include <QString>

// "Uses Firebird " and the version of the Firebird client library loaded
// into this process, for the about window.
QString FirebirdClientText();

// The Firebird version from the client's version text, whose number carries
// the old InterBase version in front ("LI-V6.3.11.33637 Firebird 3.0"): the
// client's major and minor version followed by the release and build of that
// number ("3.0.11.33637"). Just "major.minor" when the text has no such
// number.
QString FirebirdVersionFromClientText(const QString& clientText, int major, int minor);
