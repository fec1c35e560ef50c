#include "core/TextEncoding.h"

#include <algorithm>
#include <bit>
#include <cerrno>
#include <cstring>
#include <functional>
#include <iconv.h>
#include <vector>

namespace
{
const char* NativeUtf16()
{
    return std::endian::native == std::endian::little ? "UTF-16LE" : "UTF-16BE";
}

// How many input bytes one replacement stands for, given the bytes left at
// the point where the converter stopped.
using CSkipRule = std::function<size_t(const unsigned char* in, size_t left)>;

class CIconv
{
  public:
    CIconv(const char* to, const char* from) : m_handle(iconv_open(to, from)) {}
    ~CIconv()
    {
        if (Valid())
            iconv_close(m_handle);
    }
    CIconv(const CIconv&) = delete;
    CIconv& operator=(const CIconv&) = delete;

    bool Valid() const { return m_handle != reinterpret_cast<iconv_t>(-1); }

    // Converts the whole input. Where a sequence is invalid or has no place
    // in the target, the replacement is written and the input bytes the skip
    // rule names are passed over; without a replacement the conversion fails.
    bool Convert(const char* in, size_t inSize, std::string& out, const std::string* replacement, const CSkipRule& skip)
    {
        std::vector<char> buffer(inSize * 4 + 16);
        char* inPtr = const_cast<char*>(in);
        size_t inLeft = inSize;
        while (true)
        {
            char* outPtr = buffer.data();
            size_t outLeft = buffer.size();
            const size_t rc = iconv(m_handle, &inPtr, &inLeft, &outPtr, &outLeft);
            const int error = errno;
            out.append(buffer.data(), buffer.size() - outLeft);
            if (rc != static_cast<size_t>(-1))
                break;
            if (error == E2BIG)
                continue;
            if (!replacement || (error != EILSEQ && error != EINVAL))
                return false;
            out += *replacement;
            const size_t step =
                std::clamp<size_t>(skip(reinterpret_cast<const unsigned char*>(inPtr), inLeft), 1, inLeft);
            inPtr += step;
            inLeft -= step;
            if (inLeft == 0)
                break;
        }
        return true;
    }

  private:
    iconv_t m_handle;
};

// The length of the longest start of a well-formed UTF-8 sequence at `in`
// (at least 1): such a cut-off or broken sequence stands for one U+FFFD,
// as the Unicode standard recommends.
size_t Utf8MaximalSubpart(const unsigned char* in, size_t left)
{
    const unsigned char lead = in[0];
    size_t length = 0;
    unsigned char low = 0x80;
    unsigned char high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF)
        length = 2;
    else if (lead >= 0xE0 && lead <= 0xEF)
    {
        length = 3;
        if (lead == 0xE0)
            low = 0xA0;
        else if (lead == 0xED)
            high = 0x9F;
    }
    else if (lead >= 0xF0 && lead <= 0xF4)
    {
        length = 4;
        if (lead == 0xF0)
            low = 0x90;
        else if (lead == 0xF4)
            high = 0x8F;
    }
    else
        return 1;
    size_t taken = 1;
    while (taken < length && taken < left && in[taken] >= low && in[taken] <= high)
    {
        ++taken;
        low = 0x80;
        high = 0xBF;
    }
    return taken;
}

std::string CutAtZero(const std::string& text)
{
    const size_t zero = text.find('\0');
    return zero == std::string::npos ? text : text.substr(0, zero);
}
} // namespace

bool IsValidUtf8(const std::string& text)
{
    const auto* in = reinterpret_cast<const unsigned char*>(text.data());
    size_t left = text.size();
    while (left > 0)
    {
        if (in[0] < 0x80)
        {
            ++in;
            --left;
            continue;
        }
        if (in[0] < 0xC2 || in[0] > 0xF4)
            return false;
        const size_t length = in[0] >= 0xF0 ? 4 : in[0] >= 0xE0 ? 3 : 2;
        if (Utf8MaximalSubpart(in, left) != length)
            return false;
        in += length;
        left -= length;
    }
    return true;
}

std::string CodePageName(unsigned codePage)
{
    switch (codePage)
    {
    case 65001: return "UTF-8";
    case 1200: return "UTF-16LE";
    case 20127: return "ASCII";
    case 28591: return "ISO-8859-1";
    case 28592: return "ISO-8859-2";
    case 28605: return "ISO-8859-15";
    case 20866: return "KOI8-R";
    case 21866: return "KOI8-U";
    case 932: return "CP932";
    case 936: return "CP936";
    case 949: return "CP949";
    case 950: return "CP950";
    case 437: return "CP437";
    case 850: return "CP850";
    case 852: return "CP852";
    case 866: return "CP866";
    default: break;
    }
    if (codePage >= 1250 && codePage <= 1258)
        return "CP" + std::to_string(codePage);
    return {};
}

std::string WideToUtf8(const std::u16string& wide)
{
    const size_t zero = wide.find(u'\0');
    const size_t units = zero == std::u16string::npos ? wide.size() : zero;
    if (units == 0)
        return {};
    CIconv conv("UTF-8", NativeUtf16());
    std::string out;
    // An unpaired surrogate becomes U+FFFD instead of failing the whole text.
    const std::string replacement = "\xEF\xBF\xBD";
    if (!conv.Valid() || !conv.Convert(reinterpret_cast<const char*>(wide.data()), units * 2, out, &replacement,
                                       [](const unsigned char*, size_t) { return size_t{2}; }))
        return {};
    return out;
}

std::u16string Utf8ToWide(const std::string& narrow)
{
    const std::string text = CutAtZero(narrow);
    if (text.empty())
        return {};
    CIconv conv(NativeUtf16(), "UTF-8");
    std::string out;
    const char16_t replacementUnit = 0xFFFD;
    const std::string replacement(reinterpret_cast<const char*>(&replacementUnit), 2);
    if (!conv.Valid() || !conv.Convert(text.data(), text.size(), out, &replacement, Utf8MaximalSubpart))
        return {};
    std::u16string wide(out.size() / 2, u'\0');
    std::memcpy(wide.data(), out.data(), wide.size() * 2);
    return wide;
}

std::string Utf8ToCodePage(const std::string& narrow, unsigned codePage)
{
    const std::u16string wide = Utf8ToWide(narrow);
    if (wide.empty())
        return {};
    const std::string name = CodePageName(codePage);
    if (name.empty())
        return {};
    CIconv conv(name.c_str(), NativeUtf16());
    std::string out;
    // No replacement: a text that the code page cannot hold whole is refused.
    if (!conv.Valid() || !conv.Convert(reinterpret_cast<const char*>(wide.data()), wide.size() * 2, out, nullptr, {}))
        return {};
    return CutAtZero(out);
}
