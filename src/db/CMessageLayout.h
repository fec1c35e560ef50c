#pragma once

#include <string>
#include <vector>

// The type of one input parameter as the client sends it.
struct SParamFormat
{
    short type = 0; // SQL_xxx without the nullable bit
    short scale = 0;
    short subType = 0; // character set of text, sub-type of a BLOB
    unsigned short length = 0; // bytes; for VARYING the room for the text
    bool operator==(const SParamFormat&) const = default;
};

// An input message built by the program instead of the client library: the
// BLR that describes it and where every value and NULL indicator sits. The
// offsets come from the client library's own metadata builder, so they are
// the ones the engine derives from the BLR.
class CMessageLayout
{
public:
    // False when a type has no message form here or the message would pass
    // the 64 KB that one execution can carry.
    bool Build(const std::vector<SParamFormat>& formats);
    const std::vector<SParamFormat>& Formats() const { return m_formats; }
    const std::string& Blr() const { return m_sBlr; }
    unsigned Length() const { return m_nLength; }
    unsigned Offset(size_t i) const { return m_offsets[i]; }
    unsigned NullOffset(size_t i) const { return m_nullOffsets[i]; }

private:
    bool AppendBlr(const SParamFormat& format);
    bool ComputeOffsets();

    std::vector<SParamFormat> m_formats;
    std::string m_sBlr;
    std::vector<unsigned> m_offsets;
    std::vector<unsigned> m_nullOffsets;
    unsigned m_nLength = 0;
};
