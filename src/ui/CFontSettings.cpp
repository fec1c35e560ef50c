#include "ui/CFontSettings.h"

#include <QApplication>
#include <QFontInfo>
#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

#include <cmath>

namespace
{
// Heights are kept in logical units of the screen, as the stored setting was
// written: points convert at the screen's logical resolution.
double ScreenDpiY()
{
    const QScreen* screen = QGuiApplication::primaryScreen();
    return screen != nullptr ? screen->logicalDotsPerInchY() : 96.0;
}

void CopySize(QFont& to, const QFont& from)
{
    if (from.pixelSize() > 0)
        to.setPixelSize(from.pixelSize());
    else if (from.pointSizeF() > 0)
        to.setPointSizeF(from.pointSizeF());
}

void CopyFace(QFont& to, const QFont& from)
{
    to.setFamilies(from.families().isEmpty() ? QStringList{from.family()} : from.families());
    to.setStyleHint(from.styleHint(), to.styleStrategy());
    to.setFixedPitch(from.fixedPitch());
}
} // namespace

CFontSettings::CFontSettings(QWidget* owner) : m_pOwner(owner)
{
    Build();
}

int CFontSettings::HeightOf(const QFont& font)
{
    if (font.pixelSize() > 0)
        return -font.pixelSize();
    return -static_cast<int>(std::lround(font.pointSizeF() * ScreenDpiY() / 72.0));
}

void CFontSettings::SetFontHeight(QFont& font, int height)
{
    // Negative heights give the character height, positive ones the cell
    // height; Qt sizes by the former, which the latter approximates. Zero
    // means "the default size": the font keeps its own.
    if (height != 0)
        font.setPixelSize(height < 0 ? -height : height);
}

std::uint8_t CFontSettings::PitchAndFamilyOf(const QFont& font)
{
    std::uint8_t value = QFontInfo(font).fixedPitch() ? FixedPitch : VariablePitch;
    switch (font.styleHint())
    {
    case QFont::Serif: value |= FamilyRoman; break;
    case QFont::SansSerif: value |= FamilySwiss; break;
    case QFont::TypeWriter:
    case QFont::Monospace: value |= FamilyModern; break;
    case QFont::Cursive: value |= FamilyScript; break;
    case QFont::Decorative:
    case QFont::Fantasy: value |= FamilyDecorative; break;
    default: break;
    }
    return value;
}

void CFontSettings::SetFontPitchAndFamily(QFont& font, std::uint8_t pitchAndFamily)
{
    switch (pitchAndFamily & 0x03)
    {
    case FixedPitch: font.setFixedPitch(true); break;
    case VariablePitch: font.setFixedPitch(false); break;
    default: break;
    }
    QFont::StyleHint hint = QFont::AnyStyle;
    switch (pitchAndFamily & 0xF0)
    {
    case FamilyRoman: hint = QFont::Serif; break;
    case FamilySwiss: hint = QFont::SansSerif; break;
    case FamilyModern: hint = QFont::Monospace; break;
    case FamilyScript: hint = QFont::Cursive; break;
    case FamilyDecorative: hint = QFont::Decorative; break;
    default: break;
    }
    font.setStyleHint(hint, font.styleStrategy());
}

SFontRecord CFontSettings::RecordOf(const QFont& font)
{
    SFontRecord record;
    record.font = font;
    record.nHeight = HeightOf(font);
    record.nCharset = 1; // the platform's "default character set"
    record.nPitchAndFamily = PitchAndFamilyOf(font);
    return record;
}

void CFontSettings::CreateSystemFont(SFontRecord& target) const
{
    target = RecordOf(QApplication::font("QMessageBox"));
}

void CFontSettings::CopyWindowFont(const QWidget* window, SFontRecord& target) const
{
    target = RecordOf(window != nullptr ? window->font() : QApplication::font());
}

void CFontSettings::Build()
{
    CreateSystemFont();
    CopyWindowFont();
    m_fontCurrent = m_fontBuiltIn;
    if (m_bUseBuildInFont)
        return;
    CopyFace(m_fontCurrent.font, m_fontSystem.font);
    m_fontCurrent.nCharset = m_fontSystem.nCharset;
    m_fontCurrent.nPitchAndFamily = m_fontSystem.nPitchAndFamily;
    if (m_bUseFontHeight)
    {
        CopySize(m_fontCurrent.font, m_fontSystem.font);
        m_fontCurrent.nHeight = m_fontSystem.nHeight;
    }
}

void CFontSettings::CopySettingsTo(CFontSettings& other) const
{
    other.m_bUseBuildInFont = m_bUseBuildInFont;
    other.m_bUseFontSettings = m_bUseFontSettings;
    other.m_bUseFontHeight = m_bUseFontHeight;
    other.m_fontSystem = m_fontSystem;
    other.m_fontBuiltIn = m_fontBuiltIn;
    other.m_fontCurrent = m_fontCurrent;
    other.m_fontApplied = m_fontApplied;
}

void CFontSettings::ApplyTo(QWidget* window, bool withHeight, const QFont* source)
{
    if (window == nullptr)
        return;
    const QFont& from = source != nullptr ? *source : m_fontCurrent.font;
    const auto adapt = [&](QFont font) {
        CopyFace(font, from);
        if (withHeight)
            CopySize(font, from);
        return font;
    };
    // Each widget's own font is the base, so a bold title or an italic note
    // keeps its weight and slant.
    m_fontApplied = adapt(window->font());
    window->setFont(m_fontApplied);
    window->update();
    const QList<QWidget*> descendants = window->findChildren<QWidget*>();
    for (QWidget* child : descendants)
        child->setFont(adapt(child->font()));
}

void CFontSettings::ApplyToOwner(bool withHeight)
{
    ApplyTo(m_pOwner, withHeight);
}

std::u16string CFontSettings::GetFaceName() const
{
    return m_fontCurrent.font.family().toStdU16String();
}

void CFontSettings::SetFaceName(const std::u16string& faceName)
{
    std::u16string name = faceName;
    if (name.size() > kMaxFaceNameLength)
    {
        std::size_t keep = kMaxFaceNameLength;
        const char16_t last = name[keep - 1];
        if (last >= 0xD800 && last <= 0xDBFF)
            --keep;
        name.resize(keep);
    }
    m_fontCurrent.font.setFamilies({QString::fromStdU16String(name)});
}

void CFontSettings::SetHeight(int height)
{
    if (!m_bUseFontHeight)
        return;
    m_fontCurrent.nHeight = height;
    SetFontHeight(m_fontCurrent.font, height);
}

void CFontSettings::SetPitchAndFamily(std::uint8_t pitchAndFamily)
{
    m_fontCurrent.nPitchAndFamily = pitchAndFamily;
    SetFontPitchAndFamily(m_fontCurrent.font, pitchAndFamily);
}

void CFontSettings::SetFromChosenFont(const QFont& font)
{
    const std::uint8_t charset = m_fontCurrent.nCharset;
    m_fontCurrent = RecordOf(font);
    m_fontCurrent.nCharset = charset;
    if (!m_bUseFontHeight)
    {
        CopySize(m_fontCurrent.font, m_fontBuiltIn.font);
        m_fontCurrent.nHeight = m_fontBuiltIn.nHeight;
    }
}
