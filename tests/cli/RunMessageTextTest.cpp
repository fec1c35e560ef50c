// The messages of a run's end in the user's language.
#include "cli/RunMessageText.h"
#include "config/CLanguageCatalog.h"
#include "core/TextEncoding.h"

#include <gtest/gtest.h>

TEST(RunMessageText, EachMessageReadsInEitherLanguage)
{
    struct SCase
    {
        SRunMessage message;
        const char* english;
        const char* german;
    };
    const SCase cases[] = {
        {{ERunMessage::TablesFailed, ERunMessageWeight::Failure, {"3"}},
         "Copy process failed",
         "Kopiervorgang fehlgeschlagen: 3 Tabelle(n) mit Fehlern"},
        {{ERunMessage::Stopped, ERunMessageWeight::Warning, {"A", "2"}},
         "The copy was stopped by the user after table A; 2 table(s) were not started.",
         "Der Kopiervorgang wurde vom Benutzer nach Tabelle A beendet; 2 Tabelle(n) wurden nicht begonnen."},
        {{ERunMessage::DestinationCopyKept, ERunMessageWeight::Note, {"/logs/d.fdb"}},
         "The destination database as it was before the copy is kept in /logs/d.fdb",
         "Die Zieldatenbank, wie sie vor dem Kopieren war, bleibt erhalten in /logs/d.fdb"},
        {{ERunMessage::TriggersLeftOff,
          ERunMessageWeight::Failure,
          {"T", "T_BI", "d.fdb", "ALTER TRIGGER T_BI ACTIVE;"}},
         "The triggers of table T were left inactive: T_BI. The next copy into d.fdb switches them on again; or switch "
         "them on yourself: ALTER TRIGGER T_BI ACTIVE;",
         "Die Trigger der Tabelle T sind inaktiv geblieben: T_BI. Der n\u00e4chste Kopiervorgang in d.fdb schaltet sie "
         "wieder ein; oder schalten Sie sie selbst ein: ALTER TRIGGER T_BI ACTIVE;"},
    };
    CLanguageCatalog english;
    CLanguageCatalog german;
    german.Open(Utf8ToWide(std::string(ROWMOVER_SOURCE_DIR) + "resources/German.lng"));
    for (const SCase& c : cases)
    {
        EXPECT_EQ(RunMessageText(c.message, english), c.english);
        EXPECT_EQ(RunMessageText(c.message, german), c.german);
    }
}

TEST(RunMessageText, EveryMessageHasAText)
{
    CLanguageCatalog english;
    for (int what = 0; what <= static_cast<int>(ERunMessage::FailuresNotRecorded); ++what)
    {
        const SRunMessage message{static_cast<ERunMessage>(what), ERunMessageWeight::Note, {"1", "x", "y", "z"}};
        EXPECT_FALSE(RunMessageText(message, english).empty()) << what;
    }
}
