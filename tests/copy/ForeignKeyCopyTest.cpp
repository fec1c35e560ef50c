#include "CopyFixture.h"

#include <algorithm>

namespace
{
const char* const Company = R"(
CREATE TABLE DEPARTMENT (ID INTEGER NOT NULL PRIMARY KEY, NAME VARCHAR(20), HEAD_DEPT INTEGER, MANAGER_ID INTEGER);
CREATE TABLE EMPLOYEE (ID INTEGER NOT NULL PRIMARY KEY, NAME VARCHAR(20), DEPT_ID INTEGER NOT NULL);
CREATE TABLE PROJECT (ID INTEGER NOT NULL PRIMARY KEY, LEADER_ID INTEGER NOT NULL REFERENCES EMPLOYEE (ID));
ALTER TABLE DEPARTMENT ADD CONSTRAINT FK_HEAD FOREIGN KEY (HEAD_DEPT) REFERENCES DEPARTMENT (ID);
ALTER TABLE DEPARTMENT ADD CONSTRAINT FK_MANAGER FOREIGN KEY (MANAGER_ID) REFERENCES EMPLOYEE (ID);
ALTER TABLE EMPLOYEE ADD CONSTRAINT FK_DEPT FOREIGN KEY (DEPT_ID) REFERENCES DEPARTMENT (ID);
)";

// Rows whose keys only fit in one order: department 1 heads 2, 2 is
// managed by employee 20 who works in 2.
const char* const CompanyRows = R"(
INSERT INTO DEPARTMENT (ID, NAME) VALUES (1, 'Board');
INSERT INTO DEPARTMENT (ID, NAME, HEAD_DEPT) VALUES (2, 'Sales', 1);
INSERT INTO EMPLOYEE VALUES (10, 'Ann', 1);
INSERT INTO EMPLOYEE VALUES (20, 'Bob', 2);
UPDATE DEPARTMENT SET MANAGER_ID = 10 WHERE ID = 1;
UPDATE DEPARTMENT SET MANAGER_ID = 20 WHERE ID = 2;
INSERT INTO PROJECT VALUES (100, 20);
)";

} // namespace

TEST(ForeignKeyCopy, CyclesAndSelfReferencesCopyCompletely)
{
    SCopyFixture copy(Company, Company);
    copy.source.Run(CompanyRows);
    copy.dest.Run(CompanyRows); // old rows the run must empty in a working order
    const SRunRecord run = RunTables(copy, {"DEPARTMENT", "EMPLOYEE", "PROJECT"});
    EXPECT_TRUE(run.result.allCopied) << copy.RunLog() << copy.SqlLog();
    // The group is committed as one, with DEPARTMENT's keys that close the
    // cycle; then its tables are finished in the order they were filled.
    EXPECT_EQ(run.finished, (std::vector<std::string>{"DEPARTMENT ok", "EMPLOYEE ok", "PROJECT ok"}));
    for (const char* sql : {"SELECT * FROM DEPARTMENT ORDER BY ID", "SELECT * FROM EMPLOYEE ORDER BY ID",
                            "SELECT * FROM PROJECT ORDER BY ID"})
        EXPECT_EQ(copy.dest.Query(sql), copy.source.Query(sql)) << sql;
}

TEST(ForeignKeyCopy, TablesWithoutKeysKeepTheListOrderAndTheirLogs)
{
    SCopyFixture copy("CREATE TABLE B (ID INTEGER); CREATE TABLE A (ID INTEGER); INSERT INTO A VALUES (1);"
                      "INSERT INTO B VALUES (2);",
                      "CREATE TABLE B (ID INTEGER); CREATE TABLE A (ID INTEGER);");
    const SRunRecord run = RunTables(copy, {"B", "A"});
    EXPECT_EQ(run.finished, (std::vector<std::string>{"B ok", "A ok"}));
    EXPECT_EQ(copy.SqlLog().find("DELETE FROM B;"), copy.SqlLog().find("/* SELECT * FROM B ORDER BY ID */") + 37);
}

TEST(ForeignKeyCopy, TableStillReferencedByAnotherTableFailsWithTheConstraint)
{
    const char* ddl = R"(CREATE TABLE PARENT (ID INTEGER NOT NULL PRIMARY KEY);
                         CREATE TABLE CHILD (ID INTEGER, PARENT_ID INTEGER CONSTRAINT FK_CHILD_PARENT REFERENCES PARENT (ID));)";
    SCopyFixture copy(ddl, ddl);
    copy.source.Run("INSERT INTO PARENT VALUES (1);");
    copy.dest.Run("INSERT INTO PARENT VALUES (1); INSERT INTO CHILD VALUES (5, 1);");
    const SRunRecord run = RunTables(copy, {"PARENT"});
    EXPECT_FALSE(run.result.allCopied);
    EXPECT_NE(copy.RunLog().find("FK_CHILD_PARENT"), std::string::npos) << copy.RunLog();
    EXPECT_EQ(copy.dest.Scalar("SELECT COUNT(*) FROM CHILD"), "1");
}

TEST(ForeignKeyCopy, EmptySourceTableKeepsItsDestinationRows)
{
    // PROJECT's source is empty, so its old row stays, as a copy of that
    // table alone would leave it; the employee it references then cannot be
    // replaced, and the run says so instead of breaking the key.
    SCopyFixture copy(Company, Company);
    copy.source.Run(
        "INSERT INTO DEPARTMENT (ID, NAME) VALUES (1, 'Board'); INSERT INTO EMPLOYEE VALUES (10, 'Ann', 1);");
    copy.dest.Run("INSERT INTO DEPARTMENT (ID, NAME) VALUES (1, 'Old'); INSERT INTO EMPLOYEE VALUES (10, 'Old', 1);"
                  "INSERT INTO PROJECT VALUES (7, 10);");
    const SRunRecord run = RunTables(copy, {"DEPARTMENT", "EMPLOYEE", "PROJECT"});
    EXPECT_FALSE(run.result.allCopied);
    EXPECT_EQ(copy.dest.Scalar("SELECT COUNT(*) FROM PROJECT"), "1");
    EXPECT_NE(copy.RunLog().find("on table \"PROJECT\""), std::string::npos) << copy.RunLog();
    EXPECT_NE(std::find(run.finished.begin(), run.finished.end(), "EMPLOYEE failed"), run.finished.end());
}
