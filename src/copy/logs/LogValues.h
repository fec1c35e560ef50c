#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// How the logs show the values of rows. A value of up to LogWholeBytes bytes
// is shown whole. A longer one is shown as its first LogHeadBytes bytes in
// the same literal form, followed by a comment with its full length and its
// CRC-32, 'Dear customer, ...'/* 32,768,001 bytes, crc32 1a2b3c4d */, so a
// log stays a readable size whatever the values hold and two long values can
// still be told apart. A text is cut before a UTF-8 character that would not
// fit whole.
constexpr size_t LogWholeBytes = 256;
constexpr size_t LogHeadBytes = 64;

enum class ELogForm
{
    Sql,   // the SQL log: NULL, 'text' with apostrophes doubled, x'hex' for bytes
    Plain, // the data text log and the run log's detail: text as it is, x'hex' for bytes
};

// What the logs need of a value that passes through in pieces and is never
// held whole: its first bytes, its length and its checksum.
class CValueDigest
{
  public:
    // Starts a new value; without checksum only the head and length are kept.
    void Reset(bool checksum);
    void Add(const char* data, size_t size);
    std::uint64_t Length() const { return m_nLength; }

    // The value as a log shows it (always abbreviated: it is a long one).
    void AppendTo(std::string& text, ELogForm form, bool binary) const;

  private:
    std::string m_head; // one byte more than is shown, to see where a character ends
    std::uint64_t m_nLength = 0;
    std::uint32_t m_nCrc = 0;
    bool m_bChecksum = true;
};

// Appends a value as a log shows it. marks are CStringGrid's cell marks (NULL,
// binary); isString says a value the SQL log puts between apostrophes.
void AppendLogValue(std::string& text, ELogForm form, bool isString, const std::string& value, std::uint8_t marks);
// "x'...'" with two upper-case hex digits a byte.
std::string HexLiteral(const std::string& bytes);
// "/* 32,768,001 bytes, crc32 1a2b3c4d */".
std::string LengthComment(std::uint64_t length, std::uint32_t crc);
