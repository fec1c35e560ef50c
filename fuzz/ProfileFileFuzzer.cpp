// Feeds arbitrary bytes to the profile file parser in both layouts and to the
// window-position reader, and checks what callers rely on: every walk ends,
// a parsed file survives being rebuilt, and a written value reads back as
// (a start of) what was stored and cannot hide the entry after it.
#include "config/CAppSettings.h"
#include "config/CProfileFile.h"
#include "config/LanguageTexts.h"

#include <cstddef>
#include <cstdint>
#include <string>

namespace
{
void Check(bool condition)
{
    if (!condition)
        __builtin_trap();
}

void WalkKeys(CProfileFile& file)
{
    for (const char* key : {"LanguageName", "LanguageFile", "DoLogs", "RecentDB1", "K", ""})
    {
        file.GetString(key, "d");
        file.GetInt(key, 5);
        file.GetBool(key, true);
        std::size_t last = file.Cursor();
        for (std::string value = file.GetNextString(key); !value.empty() || file.Cursor() != last;
             value = file.GetNextString(key))
        {
            // A successful lookup always moves forward, so a walk ends.
            Check(file.Cursor() > last);
            last = file.Cursor();
        }
    }
}

void CheckRebuild(bool xmlMode, const std::string& text)
{
    CProfileFile file(xmlMode);
    const bool parsed = file.Parse(text);
    WalkKeys(file);
    if (!xmlMode)
    {
        Check(parsed && file.BuildText() == text);
        return;
    }
    if (!parsed)
        return;
    CProfileFile again(true);
    Check(again.Parse(file.BuildText()));
    Check(again.RootName() == file.RootName());
    Check(again.Body() == file.Body());
}

void CheckWrite(bool xmlMode, const std::string& value)
{
    CProfileFile file(xmlMode);
    file.WriteString("K", value);
    file.WriteString("Z", "end");
    CProfileFile back(xmlMode);
    Check(back.Parse(file.BuildText()));
    const std::string read = back.FindValue(0, "K");
    Check(value.compare(0, read.size(), read) == 0);
    // Without escaping a value can still imitate a later key's opening
    // delimiter; what is promised in XML mode is that it cannot end its own
    // entry or the root element early, so the later entry is still there to
    // be walked to. (In key-value mode a value ending in "Z=" would join its
    // closing quote into an opening delimiter; keys are matched as tails of
    // any text there, so that layout cannot rule it out.)
    if (!xmlMode)
        return;
    bool sawEnd = false;
    std::size_t last = back.Cursor();
    for (std::string z = back.FindValue(0, "Z"); back.Cursor() != last; z = back.GetNextString("Z"))
    {
        last = back.Cursor();
        sawEnd = sawEnd || (z.size() >= 3 && z.compare(z.size() - 3, 3, "end") == 0);
    }
    Check(sawEnd);
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    std::string text(reinterpret_cast<const char*>(data), size);
    const std::size_t zero = text.find('\0');
    if (zero != std::string::npos)
        text.resize(zero);

    CheckRebuild(false, text);
    CheckRebuild(true, text);
    CheckWrite(false, text);
    CheckWrite(true, text);

    SWindowRect rect;
    const int read = ParseWindowRect(text, rect);
    Check(read >= 0 && read <= 4);

    FormatSignature(text);
    return 0;
}
