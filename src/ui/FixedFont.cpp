#include "ui/FixedFont.h"

#include <QFontDatabase>
#include <QFontInfo>

namespace
{
void AskForFixedPitch(QFont& font)
{
    font.setStyleHint(QFont::TypeWriter);
    font.setFixedPitch(true);
}
} // namespace

QFont FixedPitchFont(const QFont& base, const QStringList& faces)
{
    for (const QString& face : faces)
    {
        QFont font = base;
        font.setFamilies({face});
        AskForFixedPitch(font);
        if (QFontInfo(font).fixedPitch())
            return font;
    }
    QFont font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    if (base.pixelSize() > 0)
        font.setPixelSize(base.pixelSize());
    else if (base.pointSizeF() > 0)
        font.setPointSizeF(base.pointSizeF());
    font.setWeight(base.weight());
    AskForFixedPitch(font);
    return font;
}
