#pragma once

#include <cstdio>
#include <string>

// A small key/value text file held in memory as one string and queried by
// plain substring search. Two layouts: XML mode ("<key>value</key>" lines
// inside one root element) for the settings, and key-value mode
// (key="value" lines) for language files and the small start-up records.
// There is no escaping: a value ends at the first closing delimiter.
class CProfileFile
{
  public:
    explicit CProfileFile(bool xmlMode);

    // Reads the whole file; false when it cannot be opened, is empty or does
    // not parse. The object stays usable either way: lookups fall back to
    // their defaults.
    bool Load(const std::string& path);
    bool Load(const std::u16string& path);
    // Writes BuildText() whole, creating or truncating the file; false only
    // when the file cannot be opened for writing.
    bool Save(const std::string& path);
    bool Save(const std::u16string& path);
    // The system's reason when the last Save failed.
    const std::string& SaveError() const { return m_sSaveError; }
    // Save writes a file its owner alone may read (0600): for files that
    // hold passwords or database names.
    void SetOwnerOnly(bool ownerOnly) { m_bOwnerOnly = ownerOnly; }

    // Lookups from the start of the body; an empty or missing value gives the
    // default. Every successful lookup moves the cursor past its entry.
    std::string GetString(const std::string& key, const std::string& defaultValue);
    // strtol-like base-10 conversion; a value without digits gives 0.
    int GetInt(const std::string& key, int defaultValue);
    // True exactly when the value converts to 1.
    bool GetBool(const std::string& key, bool defaultValue);
    // The next value of key after the cursor, empty when there is none; walks
    // repeated keys in file order.
    std::string GetNextString(const std::string& key);

    // Append one entry to the body, in the layout of the mode.
    void WriteString(const std::string& key, const std::string& value);
    void WriteInt(const std::string& key, int value);
    void WriteBool(const std::string& key, bool value);

    void ClearBody();
    // Header (XML mode), body, footer (XML mode): the bytes Save writes.
    std::string BuildText() const;
    // XML mode only: renames the root element.
    void SetRootName(const std::string& name);

    // Takes text as read from a file; false when an XML-mode text has no
    // recognisable root element.
    bool Parse(const std::string& text);
    // The value between the delimiters of key at or after start; empty when
    // not found (the cursor then stays where it was).
    std::string FindValue(std::size_t start, const std::string& key);
    // Both take ownership of the file and close it.
    bool ReadFrom(std::FILE* file);

    bool IsXmlMode() const { return m_bXmlMode; }
    const std::string& RootName() const { return m_sRootName; }
    const std::string& Body() const { return m_sBody; }
    std::size_t Cursor() const { return m_nCursor; }

  private:
    std::string OpeningDelimiter(const std::string& key) const;
    std::string ClosingDelimiter(const std::string& key) const;
    void AppendLine(const std::string& line);

    bool m_bXmlMode;
    std::string m_sRootName;
    std::string m_sHeader;
    std::string m_sFooter;
    std::string m_sBody;
    int m_nIndent = 0;
    std::size_t m_nCursor = 0;
    std::string m_sSaveError;
    bool m_bOwnerOnly = false;
};
