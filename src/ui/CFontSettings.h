#pragma once

#include "config/IFontSettings.h"

#include <QFont>
#include <QPointer>

class QWidget;

// One font as the settings describe it: the Qt font plus the two fields of
// the stored description that Qt has no place for. The character set has no
// effect on Qt fonts and is only carried so that it is written back as read.
struct SFontRecord
{
    QFont font;
    int nHeight = 0;
    std::uint8_t nCharset = 1;
    std::uint8_t nPitchAndFamily = 0;
};

// The shared user-interface font: the dialog's own font, the platform's
// message-box font, or an explicit face, character set, height and pitch,
// applied to a dialog and all its controls.
class CFontSettings : public IFontSettings
{
  public:
    // Stored pitch-and-family values: pitch in the low bits, family above.
    enum : std::uint8_t
    {
        DefaultPitch = 0,
        FixedPitch = 1,
        VariablePitch = 2,
        FamilyDontCare = 0x00,
        FamilyRoman = 0x10,
        FamilySwiss = 0x20,
        FamilyModern = 0x30,
        FamilyScript = 0x40,
        FamilyDecorative = 0x50,
    };
    static constexpr int kMaxFaceNameLength = 31;

    explicit CFontSettings(QWidget* owner);

    void Build() override;
    // The platform's message-box font.
    void CreateSystemFont(SFontRecord& target) const;
    void CreateSystemFont() { CreateSystemFont(m_fontSystem); }
    // The font the window uses now (the application font without a window).
    void CopyWindowFont(const QWidget* window, SFontRecord& target) const;
    void CopyWindowFont() { CopyWindowFont(m_pOwner, m_fontBuiltIn); }
    void CopyCurrentFont(QFont& target) const { target = m_fontCurrent.font; }
    void CopySettingsTo(CFontSettings& other) const;
    // Gives window and each of its descendants the face, character set,
    // pitch and (withHeight) size of source, or of the effective font; the
    // weight, slant and other attributes of each widget's own font stay.
    void ApplyTo(QWidget* window, bool withHeight, const QFont* source = nullptr);
    void ApplyToOwner(bool withHeight) override;

    bool GetUseBuildInFont() const override { return m_bUseBuildInFont; }
    void SetUseBuildInFont(bool use) override { m_bUseBuildInFont = use; }
    bool GetUseFontSettings() const override { return m_bUseFontSettings; }
    void SetUseFontSettings(bool use) override { m_bUseFontSettings = use; }
    bool GetUseFontHeight() const override { return m_bUseFontHeight; }
    void SetUseFontHeight(bool use) override { m_bUseFontHeight = use; }

    std::u16string GetFaceName() const override;
    // Longer names are cut to kMaxFaceNameLength UTF-16 units, never inside a
    // surrogate pair, as the stored description holds no more.
    void SetFaceName(const std::u16string& faceName) override;
    std::uint8_t GetCharset() const override { return m_fontCurrent.nCharset; }
    void SetCharset(std::uint8_t charset) override { m_fontCurrent.nCharset = charset; }
    int GetHeight() const override { return m_fontCurrent.nHeight; }
    // Changes nothing unless GetUseFontHeight().
    void SetHeight(int height) override;
    std::uint8_t GetPitchAndFamily() const override { return m_fontCurrent.nPitchAndFamily; }
    void SetPitchAndFamily(std::uint8_t pitchAndFamily) override;
    int GetBuiltInHeight() const { return m_fontBuiltIn.nHeight; }
    // Takes over a font chosen in a font dialog; its size only when
    // GetUseFontHeight(), else the dialog font's size stays.
    void SetFromChosenFont(const QFont& font);

    const SFontRecord& SystemFont() const { return m_fontSystem; }
    const SFontRecord& BuiltInFont() const { return m_fontBuiltIn; }
    const SFontRecord& CurrentFont() const { return m_fontCurrent; }
    const QFont& AppliedFont() const { return m_fontApplied; }

    // Conversions between Qt fonts and the stored fields.
    static SFontRecord RecordOf(const QFont& font);
    static int HeightOf(const QFont& font);
    static void SetFontHeight(QFont& font, int height);
    static std::uint8_t PitchAndFamilyOf(const QFont& font);
    static void SetFontPitchAndFamily(QFont& font, std::uint8_t pitchAndFamily);

  private:
    SFontRecord m_fontSystem;
    SFontRecord m_fontBuiltIn;
    SFontRecord m_fontCurrent;
    QFont m_fontApplied;
    QPointer<QWidget> m_pOwner;
    bool m_bUseBuildInFont = false;
    bool m_bUseFontSettings = true;
    bool m_bUseFontHeight = false;
};
