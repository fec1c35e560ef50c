#pragma once

#include <QFont>
#include <QStringList>

// The face the log viewer and the SQL editor prefer for text in columns.
inline constexpr const char* kFixedFace = "Courier New";

// A fixed-pitch font of base's size: the first of faces that the font system
// resolves to a face it knows as fixed pitch, otherwise the system's fixed
// font. A name alone is no promise: "Courier New" may resolve to any face
// that a font package declares a substitute (ghostscript's Nimbus Mono PS,
// which Qt does not report as fixed pitch).
QFont FixedPitchFont(const QFont& base, const QStringList& faces = {QString::fromLatin1(kFixedFace)});
