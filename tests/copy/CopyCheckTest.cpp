// The check foresees what a copy will do: every kind of finding on real
// databases, and then the copy itself, which must fail exactly the tables the
// check said would fail.
#include "CopyFixture.h"

#include "copy/check/CopyCheck.h"
#include "db/SchemaQueries.h"
#include "support/DatabaseFingerprint.h"

#include <ibase.h>
#include <map>
#include <utility>

namespace
{
using EKind = SCheckFinding::EKind;

class CopyCheck : public EmbeddedOrServer
{
};

// An old database without a character set, as old databases often are.
const char* const Source = R"(
CREATE TABLE DROPPED (ID INTEGER, OLD_CODE VARCHAR(5));
INSERT INTO DROPPED VALUES (1, 'a'); INSERT INTO DROPPED VALUES (2, 'b'); INSERT INTO DROPPED VALUES (3, NULL);
CREATE TABLE TOO_LONG (ID INTEGER, NAME VARCHAR(30));
INSERT INTO TOO_LONG VALUES (1, 'short'); INSERT INTO TOO_LONG VALUES (2, 'much too long for it');
CREATE TABLE OUT_OF_RANGE (ID INTEGER, N INTEGER); INSERT INTO OUT_OF_RANGE VALUES (1, 40000);
INSERT INTO OUT_OF_RANGE VALUES (2, 7);
CREATE TABLE PRECISE (ID INTEGER, N NUMERIC(9,2)); INSERT INTO PRECISE VALUES (1, 12345.67);
CREATE TABLE ROUNDED (ID INTEGER, N NUMERIC(15,4)); INSERT INTO ROUNDED VALUES (1, 1.2345);
INSERT INTO ROUNDED VALUES (2, 1.25);
CREATE TABLE TIME_DROPPED (ID INTEGER, AT_TIME TIMESTAMP); INSERT INTO TIME_DROPPED VALUES (1, '2020-01-01 10:00');
INSERT INTO TIME_DROPPED VALUES (2, '2020-01-02');
CREATE TABLE NOT_NUMBER (ID INTEGER, S VARCHAR(10)); INSERT INTO NOT_NUMBER VALUES (1, ' 42 ');
INSERT INTO NOT_NUMBER VALUES (2, 'abc');
CREATE TABLE LEGACY (ID INTEGER, S VARCHAR(10), B BLOB SUB_TYPE TEXT);
INSERT INTO LEGACY VALUES (1, x'4772FCDF65', 'plain'); INSERT INTO LEGACY VALUES (2, 'plain', x'41814290');
INSERT INTO LEGACY VALUES (3, x'C3A9', NULL);
CREATE TABLE NULL_INTO (ID INTEGER, V INTEGER); INSERT INTO NULL_INTO VALUES (1, NULL);
CREATE TABLE NEEDS_DEFAULT (ID INTEGER); INSERT INTO NEEDS_DEFAULT VALUES (1);
CREATE TABLE SEEN (ID INTEGER); INSERT INTO SEEN VALUES (1);
CREATE TABLE CHILD (ID INTEGER, P_ID INTEGER); INSERT INTO CHILD VALUES (1, 1); INSERT INTO CHILD VALUES (2, 2);
INSERT INTO CHILD VALUES (3, 2);
CREATE TABLE G_PARENT (ID INTEGER NOT NULL PRIMARY KEY); INSERT INTO G_PARENT VALUES (1);
CREATE TABLE G_CHILD (ID INTEGER, P_ID INTEGER REFERENCES G_PARENT (ID)); INSERT INTO G_CHILD VALUES (1, 1);
CREATE TABLE SELF_REF (ID INTEGER NOT NULL PRIMARY KEY, UP_ID INTEGER REFERENCES SELF_REF (ID));
INSERT INTO SELF_REF VALUES (1, NULL); INSERT INTO SELF_REF VALUES (2, 1);
CREATE GENERATOR GEN_NUMBERED;
CREATE TABLE NUMBERED (ID INTEGER);
SET TERM ^ ;
CREATE TRIGGER NUMBERED_BI FOR NUMBERED BEFORE INSERT AS BEGIN NEW.ID = GEN_ID(GEN_NUMBERED, 1); END^
SET TERM ; ^
INSERT INTO NUMBERED VALUES (NULL); SET GENERATOR GEN_NUMBERED TO 5;
CREATE TABLE EMPTY_ONE (ID INTEGER);
CREATE TABLE R_PARENT (ID INTEGER NOT NULL PRIMARY KEY); INSERT INTO R_PARENT VALUES (2);
CREATE TABLE APPROX (ID INTEGER, B BIGINT, N NUMERIC(18,4));
INSERT INTO APPROX VALUES (1, 9007199254740993, 1.2345); INSERT INTO APPROX VALUES (2, 5, 99999999999999.9999);
CREATE TABLE CONVERTS (ID INTEGER, D VARCHAR(20), F SMALLINT, T TIME, AT_TIME TIME);
INSERT INTO CONVERTS VALUES (1, '29.02.2020', NULL, NULL, '10:00');
INSERT INTO CONVERTS VALUES (2, 'no date', 1, '10:00', NULL);
CREATE TABLE HUGE (ID INTEGER, X DOUBLE PRECISION, S VARCHAR(30));
INSERT INTO HUGE VALUES (1, 1e300, 'ok'); INSERT INTO HUGE VALUES (2, 1.5, 'far too long for it');
CREATE TABLE IN_PARENT (ID INTEGER NOT NULL PRIMARY KEY); INSERT INTO IN_PARENT VALUES (1);
CREATE TABLE IN_CHILD (ID INTEGER, P_ID INTEGER); INSERT INTO IN_CHILD VALUES (1, 1); INSERT INTO IN_CHILD VALUES (2, 2);
CREATE TABLE E_PARENT (ID INTEGER NOT NULL PRIMARY KEY);
CREATE TABLE E_CHILD (ID INTEGER, P_ID INTEGER); INSERT INTO E_CHILD VALUES (1, 5); INSERT INTO E_CHILD VALUES (2, 6);
CREATE TABLE SELF_CHAIN (ID INTEGER NOT NULL PRIMARY KEY, UP_ID INTEGER);
INSERT INTO SELF_CHAIN VALUES (1, NULL); INSERT INTO SELF_CHAIN VALUES (2, 1); INSERT INTO SELF_CHAIN VALUES (3, 99);
CREATE TABLE DUPS (ID INTEGER, CODE VARCHAR(5));
INSERT INTO DUPS VALUES (1, 'a'); INSERT INTO DUPS VALUES (1, 'b'); INSERT INTO DUPS VALUES (2, 'a');
INSERT INTO DUPS VALUES (3, NULL); INSERT INTO DUPS VALUES (4, NULL);
CREATE TABLE CI_KEYS (ID INTEGER, EMAIL VARCHAR(20) CHARACTER SET UTF8);
INSERT INTO CI_KEYS VALUES (1, 'a@x'); INSERT INTO CI_KEYS VALUES (2, 'A@X'); INSERT INTO CI_KEYS VALUES (3, 'b@x');
CREATE TABLE TEXTS (ID INTEGER, BIG VARCHAR(30), FRACTION VARCHAR(10), DAY_WORD VARCHAR(10),
    U VARCHAR(10) CHARACTER SET UTF8, U2 VARCHAR(10) CHARACTER SET UTF8, L VARCHAR(10), BT BLOB SUB_TYPE TEXT,
    DF DOUBLE PRECISION, STAMP TIMESTAMP);
INSERT INTO TEXTS VALUES (1, '99999999999999999999', '1.239', ' Today', _UTF8 '€日本', _UTF8 'äöüäö', x'E4', 'x',
    1e300, '2020-01-01 10:00');
INSERT INTO TEXTS VALUES (2, '12', '1.230', '2020-01-01', _UTF8 '€uro', 'abc', 'plain', '7', 1.5, NULL);
CREATE TABLE CYC_A (ID INTEGER, B_ID INTEGER); INSERT INTO CYC_A VALUES (1, 1);
CREATE TABLE CYC_B (ID INTEGER, A_ID INTEGER); INSERT INTO CYC_B VALUES (1, 1);
CREATE TABLE CHK_CUST (ID INTEGER, RATE INTEGER); INSERT INTO CHK_CUST VALUES (1, 5);
CREATE TABLE CHK_ORDERS (ID INTEGER, CUST INTEGER); INSERT INTO CHK_ORDERS VALUES (1, 1);
CREATE TABLE CHECKED (ID INTEGER, V INTEGER, N INTEGER);
INSERT INTO CHECKED VALUES (1, -1, 500); INSERT INTO CHECKED VALUES (2, 5, 5); INSERT INTO CHECKED VALUES (3, NULL, 7);
CREATE TABLE NEW_CHECKED (ID INTEGER); INSERT INTO NEW_CHECKED VALUES (1); INSERT INTO NEW_CHECKED VALUES (2);
CREATE TABLE DOUBLES (ID INTEGER, F DOUBLE PRECISION, T DOUBLE PRECISION, S VARCHAR(30), R VARCHAR(30));
INSERT INTO DOUBLES VALUES (1, 0.5, 1.5, '16777217', '1e-400');
INSERT INTO DOUBLES VALUES (2, 0.1, 0.1e0 + 0.2e0, '0.25', '2');
INSERT INTO DOUBLES VALUES (3, 16777217, 123456789012345696, NULL, NULL);
CREATE TABLE COMPUTED (ID INTEGER, TOTAL INTEGER); INSERT INTO COMPUTED VALUES (1, 99);
CREATE TABLE NOTHING_SHARED (ID INTEGER); INSERT INTO NOTHING_SHARED VALUES (1);
CREATE TABLE PAIRS (ID INTEGER, A INTEGER, B INTEGER); INSERT INTO PAIRS VALUES (1, 1, NULL);
INSERT INTO PAIRS VALUES (2, 1, NULL); INSERT INTO PAIRS VALUES (3, NULL, NULL); INSERT INTO PAIRS VALUES (4, NULL, NULL);
CREATE TABLE CONVERTED_KEYS (ID INTEGER, N NUMERIC(9,3), CODE VARCHAR(5), AT_TIME TIMESTAMP);
INSERT INTO CONVERTED_KEYS VALUES (1, 1.001, '1', '2020-01-01 10:00');
INSERT INTO CONVERTED_KEYS VALUES (2, 1.002, '01', '2020-01-01 11:00');
CREATE TABLE CI_PARENT (CODE VARCHAR(5) CHARACTER SET UTF8 NOT NULL PRIMARY KEY); INSERT INTO CI_PARENT VALUES ('ABC');
CREATE TABLE CI_CHILD (ID INTEGER, CODE VARCHAR(5) CHARACTER SET UTF8); INSERT INTO CI_CHILD VALUES (1, 'abc');
CREATE TABLE UPPER_KEYS (ID INTEGER, NAME VARCHAR(10)); INSERT INTO UPPER_KEYS VALUES (1, 'ab');
INSERT INTO UPPER_KEYS VALUES (2, 'AB'); INSERT INTO UPPER_KEYS VALUES (3, NULL); INSERT INTO UPPER_KEYS VALUES (4, NULL);
CREATE TABLE BYTES_INTO_TEXT (ID INTEGER, O VARCHAR(4) CHARACTER SET OCTETS);
INSERT INTO BYTES_INTO_TEXT VALUES (1, x'E4'); INSERT INTO BYTES_INTO_TEXT VALUES (2, x'C3A4');
)";

const char* const Dest = R"(
CREATE TABLE DROPPED (ID INTEGER, NOTE VARCHAR(5));
CREATE TABLE TOO_LONG (ID INTEGER, NAME VARCHAR(5));
CREATE TABLE OUT_OF_RANGE (ID INTEGER, N SMALLINT);
CREATE TABLE PRECISE (ID INTEGER, N NUMERIC(5,2));
CREATE TABLE ROUNDED (ID INTEGER, N NUMERIC(15,2));
CREATE TABLE TIME_DROPPED (ID INTEGER, AT_TIME DATE);
CREATE TABLE NOT_NUMBER (ID INTEGER, S INTEGER);
CREATE TABLE LEGACY (ID INTEGER, S VARCHAR(10), B BLOB SUB_TYPE TEXT);
CREATE TABLE NULL_INTO (ID INTEGER, V INTEGER NOT NULL);
CREATE TABLE NEEDS_DEFAULT (ID INTEGER, SINCE DATE NOT NULL);
CREATE TABLE BASE (ID INTEGER); CREATE VIEW SEEN (ID) AS SELECT ID FROM BASE;
CREATE TABLE PARENT (ID INTEGER NOT NULL PRIMARY KEY); INSERT INTO PARENT VALUES (1);
CREATE TABLE CHILD (ID INTEGER, P_ID INTEGER REFERENCES PARENT (ID));
CREATE TABLE G_PARENT (ID INTEGER NOT NULL PRIMARY KEY);
CREATE TABLE G_CHILD (ID INTEGER, P_ID INTEGER REFERENCES G_PARENT (ID), SINCE TIME NOT NULL);
CREATE TABLE SELF_REF (ID INTEGER NOT NULL PRIMARY KEY, UP_ID INTEGER REFERENCES SELF_REF (ID));
CREATE GENERATOR GEN_NUMBERED;
CREATE TABLE NUMBERED (ID INTEGER, SEQ INTEGER GENERATED BY DEFAULT AS IDENTITY);
SET TERM ^ ;
CREATE TRIGGER NUMBERED_BI FOR NUMBERED BEFORE INSERT AS BEGIN NEW.ID = GEN_ID(GEN_NUMBERED, 1); END^
SET TERM ; ^
CREATE TABLE EMPTY_ONE (ID INTEGER); INSERT INTO EMPTY_ONE VALUES (9);
CREATE TABLE R_PARENT (ID INTEGER NOT NULL PRIMARY KEY); INSERT INTO R_PARENT VALUES (1);
CREATE TABLE R_NOTE (ID INTEGER, P_ID INTEGER CONSTRAINT FK_R_NOTE REFERENCES R_PARENT (ID) ON DELETE CASCADE);
INSERT INTO R_NOTE VALUES (1, 1);
CREATE TABLE APPROX (ID INTEGER, B DOUBLE PRECISION, N FLOAT);
CREATE TABLE CONVERTS (ID INTEGER, D DATE, F BOOLEAN, T DATE, AT_TIME TIMESTAMP);
CREATE TABLE HUGE (ID INTEGER, X NUMERIC(15,2), S VARCHAR(5));
CREATE TABLE IN_PARENT (ID INTEGER NOT NULL PRIMARY KEY);
CREATE TABLE IN_CHILD (ID INTEGER, P_ID INTEGER REFERENCES IN_PARENT (ID));
CREATE TABLE E_PARENT (ID INTEGER NOT NULL PRIMARY KEY); INSERT INTO E_PARENT VALUES (5);
CREATE TABLE E_CHILD (ID INTEGER, P_ID INTEGER REFERENCES E_PARENT (ID));
CREATE TABLE SELF_CHAIN (ID INTEGER NOT NULL PRIMARY KEY, UP_ID INTEGER REFERENCES SELF_CHAIN (ID));
CREATE TABLE DUPS (ID INTEGER NOT NULL PRIMARY KEY, CODE VARCHAR(5) UNIQUE, TAG VARCHAR(5) NOT NULL UNIQUE);
CREATE TABLE CI_KEYS (ID INTEGER, EMAIL VARCHAR(20) CHARACTER SET UTF8 UNIQUE COLLATE UNICODE_CI);
CREATE TABLE TEXTS (ID INTEGER, BIG BIGINT, FRACTION NUMERIC(9,2), DAY_WORD DATE,
    U VARCHAR(10) CHARACTER SET WIN1252, U2 VARCHAR(5) CHARACTER SET NONE, L VARCHAR(10) CHARACTER SET WIN1252,
    BT INTEGER, DF FLOAT, STAMP TIME);
CREATE TABLE CYC_A (ID INTEGER NOT NULL PRIMARY KEY, B_ID INTEGER NOT NULL);
CREATE TABLE CYC_B (ID INTEGER NOT NULL PRIMARY KEY, A_ID INTEGER NOT NULL REFERENCES CYC_A (ID));
ALTER TABLE CYC_A ADD CONSTRAINT FK_CYC_B FOREIGN KEY (B_ID) REFERENCES CYC_B (ID);
CREATE TABLE CHK_CUST (ID INTEGER NOT NULL PRIMARY KEY, RATE INTEGER NOT NULL);
CREATE TABLE CHK_ORDERS (ID INTEGER NOT NULL PRIMARY KEY, CUST INTEGER,
    CONSTRAINT CHK_RATE CHECK ((SELECT C.RATE FROM CHK_CUST C WHERE C.ID = CHK_ORDERS.CUST) > 0));
CREATE DOMAIN D_SMALL AS INTEGER CHECK (VALUE < 100);
CREATE TABLE CHECKED (ID INTEGER, V INTEGER CONSTRAINT V_NOT_NEGATIVE CHECK (V >= 0), N D_SMALL);
CREATE TABLE NEW_CHECKED (ID INTEGER, X INTEGER NOT NULL CONSTRAINT X_POSITIVE CHECK (NEW_CHECKED.X > 0));
CREATE TABLE DOUBLES (ID INTEGER, F FLOAT, T VARCHAR(30), S FLOAT, R DOUBLE PRECISION);
CREATE TABLE COMPUTED (ID INTEGER, TOTAL COMPUTED BY (ID * 20));
CREATE TABLE NOTHING_SHARED (CODE VARCHAR(5) DEFAULT 'x'); INSERT INTO NOTHING_SHARED VALUES ('kept');
CREATE TABLE PAIRS (ID INTEGER, A INTEGER, B INTEGER, UNIQUE (A, B));
CREATE TABLE CONVERTED_KEYS (ID INTEGER, N NUMERIC(9,2) UNIQUE, CODE INTEGER UNIQUE, AT_TIME DATE UNIQUE);
CREATE TABLE CI_PARENT (CODE VARCHAR(5) CHARACTER SET UTF8 NOT NULL PRIMARY KEY COLLATE UNICODE_CI);
CREATE TABLE CI_CHILD (ID INTEGER, CODE VARCHAR(5) CHARACTER SET UTF8 REFERENCES CI_PARENT COLLATE UNICODE_CI);
CREATE TABLE BYTES_INTO_TEXT (ID INTEGER, O VARCHAR(4) CHARACTER SET UTF8);
CREATE TABLE UPPER_KEYS (ID INTEGER, NAME VARCHAR(10)); CREATE UNIQUE INDEX UX_UPPER ON UPPER_KEYS COMPUTED BY (UPPER(NAME));
)";

struct SExpected
{
    const char* table;
    ECheckSeverity severity;
    EKind kind;
    const char* column;
    long long rows;
    const char* detail;
};

const SExpected Expected[] = {
    {"DROPPED", ECheckSeverity::Warning, EKind::DroppedData, "OLD_CODE", 2, "VARCHAR(5)"},
    {"DROPPED", ECheckSeverity::Warning, EKind::Receives, "NOTE", -1, "''"},
    {"TOO_LONG", ECheckSeverity::Fails, EKind::TooLong, "NAME", 1, "VARCHAR(5)"},
    {"OUT_OF_RANGE", ECheckSeverity::Fails, EKind::OutOfRange, "N", 1, "SMALLINT"},
    {"PRECISE", ECheckSeverity::Warning, EKind::BeyondPrecision, "N", 1, "NUMERIC(5,2)"},
    {"ROUNDED", ECheckSeverity::Warning, EKind::Rounded, "N", 1, "NUMERIC(15,2)"},
    {"TIME_DROPPED", ECheckSeverity::Warning, EKind::TimeDropped, "AT_TIME", 1, ""},
    {"NOT_NUMBER", ECheckSeverity::Fails, EKind::NotANumber, "S", 1, "INTEGER"},
    {"LEGACY", ECheckSeverity::Fails, EKind::LegacyText, "S", 1, ""},
    {"LEGACY", ECheckSeverity::Fails, EKind::LegacyText, "B", 1, ""},
    {"NULL_INTO", ECheckSeverity::Fails, EKind::NullIntoNotNull, "V", 1, ""},
    {"NEEDS_DEFAULT", ECheckSeverity::Fails, EKind::NeedsDefault, "SINCE", -1, "DATE"},
    {"SEEN", ECheckSeverity::Fails, EKind::NotATable, "", -1, "the destination has no table SEEN"},
    {"CHILD", ECheckSeverity::Fails, EKind::MissingParentKeys, "P_ID", 2, "PARENT"},
    {"G_PARENT", ECheckSeverity::Fails, EKind::GroupRefused, "", -1, "G_CHILD"},
    {"G_CHILD", ECheckSeverity::Fails, EKind::NeedsDefault, "SINCE", -1, "TIME"},
    {"SELF_REF", ECheckSeverity::Fine, EKind::Deferred, "UP_ID", -1, "INTEG_"},
    {"NUMBERED", ECheckSeverity::Fine, EKind::Triggers, "", -1, "NUMBERED_BI"},
    {"NUMBERED", ECheckSeverity::Fine, EKind::Generators, "", -1, "GEN_NUMBERED=5"},
    {"NUMBERED", ECheckSeverity::Fine, EKind::Identities, "", -1, "SEQ"},
    {"EMPTY_ONE", ECheckSeverity::Fine, EKind::SourceEmpty, "", 0, ""},
    {"R_PARENT", ECheckSeverity::Fails, EKind::ReachesOthers, "", -1,
     "R_NOTE (foreign key FK_R_NOTE ON DELETE CASCADE)"},
    {"APPROX", ECheckSeverity::Warning, EKind::BeyondPrecision, "B", 1, "DOUBLE PRECISION"},
    {"APPROX", ECheckSeverity::Warning, EKind::BeyondPrecision, "N", 1, "FLOAT"},
    {"CONVERTS", ECheckSeverity::Fails, EKind::NotConvertible, "D", 1, "DATE"},
    {"CONVERTS", ECheckSeverity::Fails, EKind::NotConvertible, "F", 1, "BOOLEAN"},
    {"CONVERTS", ECheckSeverity::Fails, EKind::NotConvertible, "T", 1, "DATE"},
    // A time goes into a timestamp whole, with the date of the copy.
    {"CONVERTS", ECheckSeverity::Fails, EKind::CopyDate, "AT_TIME", 1, ""},
    // A double far beyond the column once hid every finding of its table.
    {"HUGE", ECheckSeverity::Fails, EKind::OutOfRange, "X", 1, "NUMERIC(15,2)"},
    {"HUGE", ECheckSeverity::Fails, EKind::TooLong, "S", 1, "VARCHAR(5)"},
    // Keys into tables the run refills are looked up among their source rows,
    // into a table whose source is empty among its destination rows.
    {"IN_CHILD", ECheckSeverity::Fails, EKind::MissingParentKeys, "P_ID", 1, "IN_PARENT"},
    {"E_PARENT", ECheckSeverity::Fine, EKind::SourceEmpty, "", 0, ""},
    {"E_CHILD", ECheckSeverity::Fails, EKind::MissingParentKeys, "P_ID", 1, "E_PARENT"},
    {"SELF_CHAIN", ECheckSeverity::Fails, EKind::MissingParentKeys, "UP_ID", 1, "SELF_CHAIN"},
    // Beyond the first row of each key; NULLs meet nothing; every row gets TAG ''.
    {"DUPS", ECheckSeverity::Fails, EKind::DuplicateKeys, "ID", 1, "INTEG_"},
    {"DUPS", ECheckSeverity::Fails, EKind::DuplicateKeys, "CODE", 1, "INTEG_"},
    {"DUPS", ECheckSeverity::Fails, EKind::DuplicateKeys, "TAG", 4, "INTEG_"},
    {"CI_KEYS", ECheckSeverity::Fails, EKind::DuplicateKeys, "EMAIL", 1, "INTEG_"}, // as UNICODE_CI compares
    {"TEXTS", ECheckSeverity::Fails, EKind::OutOfRange, "BIG", 1, "BIGINT"},
    {"TEXTS", ECheckSeverity::Fails, EKind::Rounded, "FRACTION", 1, "NUMERIC(9,2)"},
    {"TEXTS", ECheckSeverity::Fails, EKind::CopyDate, "DAY_WORD", 1, ""},
    {"TEXTS", ECheckSeverity::Fails, EKind::NotInCharacterSet, "U", 1, "WIN1252"},
    {"TEXTS", ECheckSeverity::Fails, EKind::TooLong, "U2", 1, "VARCHAR(5)"}, // bytes, in NONE
    {"TEXTS", ECheckSeverity::Fails, EKind::LegacyText, "L", 1, ""},         // UTF-8 first, then WIN1252
    {"TEXTS", ECheckSeverity::Fails, EKind::NotConvertible, "BT", 1, "INTEGER"},
    {"TEXTS", ECheckSeverity::Fails, EKind::OutOfRange, "DF", 1, "FLOAT"},
    {"TEXTS", ECheckSeverity::Fails, EKind::DateDropped, "STAMP", 1, ""},
    {"CYC_A", ECheckSeverity::Fails, EKind::Cycle, "", -1, "CYC_A, CYC_B"},
    {"CYC_B", ECheckSeverity::Fails, EKind::Cycle, "", -1, "CYC_A, CYC_B"},
    {"CHK_ORDERS", ECheckSeverity::Warning, EKind::UndeferredCheck, "CHK_CUST.RATE", -1, "CHK_RATE"},
    // A NULL passes a CHECK; a new column's 0 is checked too.
    {"CHECKED", ECheckSeverity::Fails, EKind::CheckRefuses, "", 1, "V_NOT_NEGATIVE"},
    {"CHECKED", ECheckSeverity::Fails, EKind::CheckRefuses, "N", 1, "N"},
    {"NEW_CHECKED", ECheckSeverity::Fails, EKind::CheckRefuses, "", 2, "X_POSITIVE"},
    // Numbers a FLOAT, or the sixteen digits of a double written as text,
    // do not hold; text beyond a double's range.
    {"DOUBLES", ECheckSeverity::Fails, EKind::BeyondPrecision, "F", 2, "FLOAT"},
    {"DOUBLES", ECheckSeverity::Fails, EKind::Rounded, "T", 1, "VARCHAR(30)"},
    {"DOUBLES", ECheckSeverity::Fails, EKind::BeyondPrecision, "S", 1, "FLOAT"},
    {"DOUBLES", ECheckSeverity::Fails, EKind::OutOfRange, "R", 1, "DOUBLE PRECISION"},
    {"COMPUTED", ECheckSeverity::Warning, EKind::ComputedData, "TOTAL", 1, "INTEGER"},
    {"NOTHING_SHARED", ECheckSeverity::Fails, EKind::NotATable, "", -1, "the destination table has no column"},
    // One NULL among values meets the same NULL; keys all NULL meet nothing.
    {"PAIRS", ECheckSeverity::Fails, EKind::DuplicateKeys, "A, B", 1, "INTEG_"},
    // Keys meet as the destination stores them.
    {"CONVERTED_KEYS", ECheckSeverity::Fails, EKind::DuplicateKeys, "N", 1, "INTEG_"},
    {"CONVERTED_KEYS", ECheckSeverity::Fails, EKind::DuplicateKeys, "CODE", 1, "INTEG_"},
    {"CONVERTED_KEYS", ECheckSeverity::Fails, EKind::DuplicateKeys, "AT_TIME", 1, "INTEG_"},
    // Bytes that are no UTF-8 (x'E4'); x'C3A4' is 'ä'.
    {"BYTES_INTO_TEXT", ECheckSeverity::Fails, EKind::NotInCharacterSet, "O", 1, "UTF8"},
    // A unique index on an expression, evaluated over the source's rows.
    {"UPPER_KEYS", ECheckSeverity::Fails, EKind::DuplicateKeys, "(UPPER(NAME))", 1, "UX_UPPER"},
};

std::vector<std::string> Tables()
{
    // Refilled, with nothing to find; CI_CHILD's 'abc' finds 'ABC' as the
    // parent's key compares them.
    std::vector<std::string> tables{"IN_PARENT", "CHK_CUST", "CI_PARENT", "CI_CHILD"};

    for (const SExpected& expected : Expected)
    {
        if (tables.empty() || tables.back() != expected.table)
            tables.push_back(expected.table);
    }
    return tables;
}
} // namespace

TEST_P(CopyCheck, EveryFindingIsForeseenAndTheCopyBearsItOut)
{
    auto copy = Make(Source, Dest, "NONE");
    const std::vector<std::string> tables = Tables();
    const std::string before = DatabaseFingerprint(copy->dest.Name());
    const SCheckReport report = CheckCopy(copy->engine.Settings(), tables);
    ASSERT_TRUE(report.checked) << report.error;
    // The check writes to neither database.
    EXPECT_EQ(DatabaseFingerprint(copy->dest.Name()), before);
    ASSERT_EQ(report.tables.size(), tables.size());

    std::map<std::string, const STableCheck*> checks;
    for (const STableCheck& check : report.tables)
        checks[check.table] = &check;
    for (const SExpected& expected : Expected)
    {
        const STableCheck& check = *checks.at(expected.table);
        EXPECT_EQ(check.severity, expected.severity) << expected.table;
        const auto found = std::find_if(check.findings.begin(), check.findings.end(), [&](const SCheckFinding& f) {
            return f.kind == expected.kind && f.column == expected.column;
        });
        ASSERT_NE(found, check.findings.end())
            << expected.table << " lacks finding " << static_cast<int>(expected.kind);
        EXPECT_EQ(found->rows, expected.rows) << expected.table;
        EXPECT_EQ(found->detail.substr(0, std::string(expected.detail).size()), expected.detail) << expected.table;
    }
    EXPECT_EQ(checks.at("TOO_LONG")->sourceRows, 2);
    EXPECT_EQ(checks.at("CI_CHILD")->severity, ECheckSeverity::Fine);
    EXPECT_EQ(checks.at("EMPTY_ONE")->sourceRows, 0);

    // The copy fails exactly the tables the check said would fail.
    const SRunRecord run = RunTables(*copy, tables);
    for (const STableCheck& check : report.tables)
    {
        const bool copied =
            std::find(run.finished.begin(), run.finished.end(), check.table + " ok") != run.finished.end();
        EXPECT_EQ(copied, check.severity != ECheckSeverity::Fails) << check.table << "\n"
                                                                   << copy->RunLog().substr(0, 3000);
    }
    // Refused before it is touched, rather than filled with defaults alone.
    EXPECT_EQ(copy->dest.Scalar("SELECT LIST(CODE) FROM NOTHING_SHARED"), "kept");
}

TEST_P(CopyCheck, CodePageTextIsCheckedAgainstTheDestinationsCharacterSet)
{
    // Read as WIN1252, x'80' is the euro sign, which ISO8859_1 lacks, and
    // x'E9' is the 'é' that UNICODE_CI_AI takes for 'e' and 'E'.
    auto copy = Make("CREATE TABLE T (ID INTEGER, S VARCHAR(5)); INSERT INTO T VALUES (1, x'E4');"
                     "INSERT INTO T VALUES (2, x'4180');"
                     "CREATE TABLE K (CODE VARCHAR(5)); INSERT INTO K VALUES ('e'); INSERT INTO K VALUES (x'E9');"
                     "INSERT INTO K VALUES ('E');",
                     "CREATE TABLE T (ID INTEGER, S VARCHAR(5) CHARACTER SET ISO8859_1);"
                     "CREATE TABLE K (CODE VARCHAR(5) NOT NULL PRIMARY KEY COLLATE UNICODE_CI_AI);",
                     "NONE");
    copy->engine.EditSettings().sourceCharset = "WIN1252";
    const SCheckReport report = CheckCopy(copy->engine.Settings(), {"T", "K"});
    ASSERT_EQ(report.tables.size(), 2u);
    const auto finding = [&](size_t table, EKind kind, const std::string& column) {
        const auto& findings = report.tables[table].findings;
        const auto found = std::find_if(findings.begin(), findings.end(),
                                        [&](const SCheckFinding& f) { return f.kind == kind && f.column == column; });
        return found == findings.end() ? SCheckFinding{} : *found;
    };
    EXPECT_EQ(finding(0, EKind::NotInCharacterSet, "S").rows, 1);
    EXPECT_EQ(finding(0, EKind::NotInCharacterSet, "S").detail, "ISO8859_1");
    EXPECT_EQ(finding(1, EKind::DuplicateKeys, "CODE").rows, 2);
    // The copy refuses that row alone.
    EXPECT_FALSE(copy->Copy("T"));
    EXPECT_EQ(copy->dest.Scalar("SELECT LIST(ID) FROM T"), "1");
}

TEST_P(CopyCheck, DatabasesThatCannotBeReadAreSaidSo)
{
    auto copy = Make("CREATE TABLE T (ID INTEGER);", "CREATE TABLE T (ID INTEGER);");
    SRunSettings settings = copy->engine.Settings();
    settings.dest.database = copy->program.File("missing.fdb");
    const SCheckReport report = CheckCopy(settings, {"T"});
    EXPECT_FALSE(report.checked);
    EXPECT_NE(report.error, "");
}

TEST_P(CopyCheck, AReadOnlyDestinationIsSaidSoForEveryTable)
{
    auto copy = Make("CREATE TABLE T (ID INTEGER); INSERT INTO T VALUES (1);", "CREATE TABLE T (ID INTEGER);");
    // As gfix -mode read_only sets it.
    std::string dpb{static_cast<char>(isc_dpb_version1)};
    for (const auto& [tag, value] : {std::pair<char, std::string>{isc_dpb_user_name, TestUser},
                                     std::pair<char, std::string>{isc_dpb_password, TestPassword},
                                     std::pair<char, std::string>{isc_dpb_set_db_readonly, std::string(1, '\1')}})
        dpb.append(1, tag).append(1, static_cast<char>(value.size())).append(value);
    ISC_STATUS_ARRAY status{};
    isc_db_handle handle = 0;
    const std::string name = copy->dest.Name();
    ASSERT_EQ(isc_attach_database(status, 0, name.c_str(), &handle, static_cast<short>(dpb.size()), dpb.data()), 0);
    isc_detach_database(status, &handle);

    const SCheckReport report = CheckCopy(copy->engine.Settings(), {"T"});
    ASSERT_TRUE(report.checked) << report.error;
    ASSERT_EQ(report.tables.size(), 1u);
    EXPECT_EQ(report.tables[0].severity, ECheckSeverity::Fails);
    ASSERT_EQ(report.tables[0].findings.size(), 1u);
    EXPECT_EQ(report.tables[0].findings[0].detail, "the destination database is read-only");
}

namespace
{
SColumnInfo Column(int fieldType, int length, int scale = 0, int characterSetId = -1, bool nullable = true)
{
    SColumnInfo column;
    column.name = "C";
    column.fieldType = fieldType;
    column.length = length;
    column.scale = scale;
    column.characterSetId = characterSetId;
    column.nullable = nullable;
    column.blob = fieldType == 261;
    column.blobSubType = column.blob ? 1 : 0;
    return column;
}
} // namespace

// The verification counts apart the rows a conversion refuses; a condition
// that the two columns' types rule out is left out, the others stay.
TEST(FailingConversions, OnlyConversionsThatCanFailAreLookedFor)
{
    const int Utf8 = 4;
    const int Octets = 1;
    const int None = 0;
    const struct
    {
        SColumnInfo source;
        SColumnInfo dest;
        const char* condition; // a part of a condition expected, or nullptr for none
    } cases[] = {
        {Column(37, 40, 0, Utf8), Column(37, 40, 0, Utf8), nullptr},
        {Column(14, 5, 0, Utf8), Column(37, 5, 0, Utf8), nullptr},
        {Column(37, 20, 0, Utf8), Column(37, 30, 0, Utf8), nullptr},
        {Column(37, 40, 0, Utf8), Column(37, 30, 0, Utf8), "CHAR_LENGTH(TRIM(TRAILING FROM C)) > 30"},
        {Column(37, 10, 0, Utf8), Column(37, 10, 0, Octets), "OCTET_LENGTH(C) > 10"},
        {Column(37, 10, 0, Octets), Column(37, 10, 0, Octets), nullptr},
        {Column(37, 10, 0, None), Column(37, 10, 0, Octets), nullptr},
        {Column(261, 8), Column(37, 10, 0, Utf8), "CHAR_LENGTH(TRIM(TRAILING FROM C)) > 10"},
        {Column(8, 4), Column(8, 4), nullptr},
        {Column(7, 2), Column(16, 8), nullptr},
        {Column(16, 8, -2), Column(16, 8, -2), nullptr},
        {Column(8, 4), Column(7, 2), "CAST(C AS DOUBLE PRECISION) > 3.27670000000000000e+04"},
        {Column(8, 4, -2), Column(16, 8, -4), "CAST(C AS DOUBLE PRECISION) >"},
        {Column(27, 8), Column(8, 4), "CAST(C AS DOUBLE PRECISION) >"},
        {Column(8, 4, 0, -1, true), Column(8, 4, 0, -1, false), "C IS NULL"},
        {Column(37, 10, 0, Utf8), Column(8, 4), "NOT SIMILAR TO"},
        {Column(37, 30, 0, Utf8), Column(16, 8), "AS DOUBLE PRECISION) END > 9.22337203685477581e+18"},
        {Column(37, 10, 0, Utf8), Column(37, 5, 0, None), "OCTET_LENGTH(C) > 5"},
    };
    for (const auto& test : cases)
    {
        const std::vector<std::string> conditions = FailingConversions(test.source, test.dest);
        const std::string seen = conditions.empty() ? "" : conditions.front();
        if (!test.condition)
            EXPECT_TRUE(conditions.empty()) << test.source.fieldType << " -> " << test.dest.fieldType << ": " << seen;
        else
            EXPECT_TRUE(std::any_of(conditions.begin(), conditions.end(),
                                    [&](const std::string& c) { return c.find(test.condition) != std::string::npos; }))
                << test.condition << " not in " << seen;
    }
}

INSTANTIATE_TEST_SUITE_P(EmbeddedAndServer, CopyCheck, ::testing::Values(false, true), PathName);
