#pragma once

#include <cstdint>
#include <string>

// The user-interface font as the settings see it: three switches and the four
// stored fields of a platform font description. The widget library provides
// the real font object; the settings code stays free of it.
class IFontSettings
{
  public:
    virtual ~IFontSettings() = default;

    virtual bool GetUseBuildInFont() const = 0;
    virtual void SetUseBuildInFont(bool use) = 0;
    virtual bool GetUseFontSettings() const = 0;
    virtual void SetUseFontSettings(bool use) = 0;
    virtual bool GetUseFontHeight() const = 0;
    virtual void SetUseFontHeight(bool use) = 0;

    // Rebuilds the effective font from the switches and the platform fonts.
    virtual void Build() = 0;

    virtual std::u16string GetFaceName() const = 0;
    virtual void SetFaceName(const std::u16string& faceName) = 0;
    virtual std::uint8_t GetCharset() const = 0;
    virtual void SetCharset(std::uint8_t charset) = 0;
    // Platform font height in logical units: negative is the character
    // height, positive the cell height. Ignored unless GetUseFontHeight().
    virtual int GetHeight() const = 0;
    virtual void SetHeight(int height) = 0;
    virtual std::uint8_t GetPitchAndFamily() const = 0;
    virtual void SetPitchAndFamily(std::uint8_t pitchAndFamily) = 0;

    // Applies the effective font to the owner window and everything in it.
    virtual void ApplyToOwner(bool withHeight) = 0;
};

// The font fields without any window: what the settings hold when no window
// font object is attached (a command-line run, tests).
class CStoredFontSettings : public IFontSettings
{
  public:
    bool GetUseBuildInFont() const override { return m_bUseBuildInFont; }
    void SetUseBuildInFont(bool use) override { m_bUseBuildInFont = use; }
    bool GetUseFontSettings() const override { return m_bUseFontSettings; }
    void SetUseFontSettings(bool use) override { m_bUseFontSettings = use; }
    bool GetUseFontHeight() const override { return m_bUseFontHeight; }
    void SetUseFontHeight(bool use) override { m_bUseFontHeight = use; }
    void Build() override {}
    std::u16string GetFaceName() const override { return m_sFaceName; }
    void SetFaceName(const std::u16string& faceName) override { m_sFaceName = faceName; }
    std::uint8_t GetCharset() const override { return m_nCharset; }
    void SetCharset(std::uint8_t charset) override { m_nCharset = charset; }
    int GetHeight() const override { return m_nHeight; }
    void SetHeight(int height) override
    {
        if (m_bUseFontHeight)
            m_nHeight = height;
    }
    std::uint8_t GetPitchAndFamily() const override { return m_nPitchAndFamily; }
    void SetPitchAndFamily(std::uint8_t pitchAndFamily) override { m_nPitchAndFamily = pitchAndFamily; }
    void ApplyToOwner(bool) override {}

  private:
    bool m_bUseBuildInFont = false;
    bool m_bUseFontSettings = true;
    bool m_bUseFontHeight = false;
    std::u16string m_sFaceName;
    std::uint8_t m_nCharset = 1;
    int m_nHeight = 0;
    std::uint8_t m_nPitchAndFamily = 0;
};
