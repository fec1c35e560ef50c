#include "core/TextEncoding.h"

#include <bit>
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <iconv.h>
#include <vector>

namespace
{
const char* NativeUtf16()
{
    return std::endian::native == std::endian::little ? "UTF-16LE" : "UTF-16BE";
}

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

    // Converts the whole input. On an unconvertible or invalid sequence the
    // replacement (if any) is written and `skip` input bytes are passed over;
    // without a replacement the conversion fails.
    bool Convert(const char* in, size_t inSize, std::string& out, const std::string* replacement, size_t skip)
    {
        std::vector<char> buffer(inSize * 4 + 16);
        char* inPtr = const_cast<char*>(in);
        size_t inLeft = inSize;
        while (true)
        {
            char* outPtr = buffer.data();
            size_t outLeft = buffer.size();
            const size_t rc = iconv(m_handle, &inPtr, &inLeft, &outPtr, &outLeft);
            out.append(buffer.data(), buffer.size() - outLeft);
            if (rc != static_cast<size_t>(-1))
                break;
            if (errno == E2BIG)
                continue;
            if (!replacement)
                return false;
            out += *replacement;
            const size_t step = std::min(skip, inLeft);
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

std::string CutAtZero(const std::string& text)
{
    const size_t zero = text.find('\0');
    return zero == std::string::npos ? text : text.substr(0, zero);
}
} // namespace

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
    const std::string replacement = "\xEF\xBF\xBD";
    if (!conv.Valid()
        || !conv.Convert(reinterpret_cast<const char*>(wide.data()), units * 2, out, &replacement, 2))
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
    if (!conv.Valid() || !conv.Convert(text.data(), text.size(), out, &replacement, 1))
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
    if (!conv.Valid() || !conv.Convert(reinterpret_cast<const char*>(wide.data()), wide.size() * 2, out, nullptr, 0))
        return {};
    return CutAtZero(out);
}
