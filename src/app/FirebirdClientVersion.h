#pragma once

#include <QString>

// "Uses Firebird " and the version of the Firebird client library loaded
// into this process, for the about window.
QString FirebirdClientText();

// The Firebird version in the client's version text. The text's number
// carries the old InterBase version in front and the Firebird version at its
// end ("LI-V6.3.11.33637 Firebird 3.0"), and the client's major and minor
// version functions report the InterBase one too; so the product version
// comes from the end and release and build from the number: "3.0.11.33637".
// A text without the product version is returned as it stands.
QString FirebirdVersionFromClientText(const QString& clientText);
