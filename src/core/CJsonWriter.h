#pragma once

#include <string>
#include <string_view>
#include <vector>

// Writes one JSON document (RFC 8259) into a text, indented two spaces a
// level so that a person can read it too. Texts are taken as UTF-8; bytes
// that do not form UTF-8 become U+FFFD, so the document is always valid
// whatever a database name or a server message holds. The caller keeps the
// nesting right: a Key inside an object before each value, values alone in
// an array.
class CJsonWriter
{
  public:
    CJsonWriter& BeginObject();
    CJsonWriter& EndObject();
    CJsonWriter& BeginArray();
    CJsonWriter& EndArray();
    CJsonWriter& Key(std::string_view name);
    CJsonWriter& String(std::string_view text);
    // A text, or null when it is empty.
    CJsonWriter& StringOrNull(std::string_view text);
    CJsonWriter& Number(long long value);
    // A number with the given decimals, written the same in every locale; a
    // value that is not finite becomes null.
    CJsonWriter& Number(double value, int decimals);
    CJsonWriter& Bool(bool value);
    CJsonWriter& Null();

    // The document so far; complete once every object and array is ended.
    const std::string& Text() const { return m_text; }

    // text as a JSON string literal, quotes included.
    static std::string Quoted(std::string_view text);

  private:
    // Separates and indents a value (or a key) from what went before.
    void BeforeValue();
    void Open(char bracket);
    void Close(char bracket);

    struct SLevel
    {
        bool empty = true;
    };
    std::string m_text;
    std::vector<SLevel> m_levels;
    bool m_bAfterKey = false;
};
