// What a run acquires and gives back: the engine's busy mark, the claim on
// the destination, listeners, cancel registrations and triggers switched
// off, on every way out of the run.
#include "CopyFixture.h"

#include "copy/run/CAbortSignal.h"
#include "copy/run/CRunSession.h"
#include "copy/write/CTriggerSwitch.h"
#include "db/CFbConnection.h"

#include <atomic>
#include <chrono>
#include <stdexcept>
#include <thread>

namespace
{
const char* const Tables = R"(
CREATE TABLE CUST (ID INTEGER NOT NULL PRIMARY KEY, NAME VARCHAR(20));
CREATE TABLE ORDERS (ID INTEGER NOT NULL PRIMARY KEY, CUST INTEGER REFERENCES CUST (ID));
SET TERM ^ ;
CREATE TRIGGER CUST_BI FOR CUST BEFORE INSERT AS BEGIN NEW.NAME = 'by trigger'; END^
SET TERM ; ^
)";
const char* const PlainTables = R"(
CREATE TABLE CUST (ID INTEGER NOT NULL PRIMARY KEY, NAME VARCHAR(20));
CREATE TABLE ORDERS (ID INTEGER NOT NULL PRIMARY KEY, CUST INTEGER REFERENCES CUST (ID));
)";
const char* const Rows = "INSERT INTO CUST VALUES (1, 'one'); INSERT INTO ORDERS VALUES (10, 1);";

class RunSession : public EmbeddedOrServer
{
};

// Where a run is made to end early: by an exception from one of its
// listeners, at a given moment.
enum class EThrow
{
    Never,
    WhenATableStarts,
    WhenRowsAreReadBack,
};

struct SWayOut
{
    const char* name;
    EThrow when;
};

class RunSessionWayOut : public ::testing::TestWithParam<std::tuple<bool, SWayOut>>
{
  protected:
    void SetUp() override
    {
        if (std::get<0>(GetParam()))
            REQUIRE_TEST_SERVER();
    }
};

std::string WayOutName(const ::testing::TestParamInfo<std::tuple<bool, SWayOut>>& info)
{
    return std::string(std::get<1>(info.param).name) + (std::get<0>(info.param) ? "ThroughServer" : "Embedded");
}
} // namespace

TEST_P(RunSessionWayOut, LeavesTheEngineFreeTheDestinationUnclaimedAndTheTriggersOn)
{
    const bool viaServer = std::get<0>(GetParam());
    const EThrow when = std::get<1>(GetParam()).when;
    SCopyFixture copy(std::string(PlainTables) + Rows, Tables, OnPath(viaServer, "source.fdb"),
                      OnPath(viaServer, "dest.fdb"));
    ASSERT_EQ(copy.prepared, 0);
    CStringGrid grid;
    grid.SetSize(1, 2);
    grid.SetCell(0, 0, "CUST");
    grid.SetCell(0, 1, "ORDERS");
    const CCopyJob job{&grid, &copy.engine, ELogging::On, true, {}};
    SCopyRunEvents events;
    events.tableStarted = [&](int, int, const std::string&, int) {
        EXPECT_TRUE(copy.engine.IsRunActive());
        if (when == EThrow::WhenATableStarts)
            throw std::runtime_error("listener failed");
    };
    events.tableVerifying = [&](int, const std::string&) {
        if (when == EThrow::WhenRowsAreReadBack)
            throw std::runtime_error("listener failed");
    };
    const std::atomic<bool> stop{false};
    bool thrown = false;
    try
    {
        EXPECT_TRUE(RunCopyJob(job, stop, events).allCopied);
    }
    catch (const std::runtime_error&)
    {
        thrown = true;
    }
    EXPECT_EQ(thrown, when != EThrow::Never);
    EXPECT_FALSE(copy.engine.IsRunActive());
    EXPECT_TRUE(copy.engine.Journal().Entries().empty());
    EXPECT_EQ(copy.dest.Scalar("SELECT RDB$TRIGGER_INACTIVE FROM RDB$TRIGGERS WHERE RDB$TRIGGER_NAME = 'CUST_BI'"),
              "0");
    // Each table holds its old rows or all the new ones.
    const std::string customers = copy.dest.Scalar("SELECT COUNT(*) FROM CUST");
    EXPECT_TRUE(customers == "0" || copy.dest.Scalar("SELECT NAME FROM CUST") == "one") << customers;

    // The next run into the destination is neither refused nor held.
    const SCopyRunResult next = RunCopyJob(job, stop, {});
    EXPECT_TRUE(next.started);
    EXPECT_TRUE(next.heldBy.empty());
    EXPECT_TRUE(next.allCopied);
    EXPECT_EQ(copy.dest.Query("SELECT C.ID, C.NAME, O.ID FROM CUST C JOIN ORDERS O ON O.CUST = C.ID"),
              (std::vector<std::vector<std::string>>{{"1", "one", "10"}}));
}

INSTANTIATE_TEST_SUITE_P(EmbeddedAndServer, RunSessionWayOut,
                         ::testing::Combine(::testing::Values(false, true),
                                            ::testing::Values(SWayOut{"ToTheEnd", EThrow::Never},
                                                              SWayOut{"ThrowAtATable", EThrow::WhenATableStarts},
                                                              SWayOut{"ThrowWhileReadingBack",
                                                                      EThrow::WhenRowsAreReadBack})),
                         WayOutName);

TEST_P(RunSession, ASecondRunOfABusyEngineHoldsNothingAndCopiesNothing)
{
    auto copy = Make(std::string(PlainTables) + Rows, Tables);
    {
        CRunSession first(copy->engine);
        ASSERT_TRUE(first.Begun());
        std::string heldBy;
        ASSERT_TRUE(first.ClaimDestination(heldBy));
        {
            CRunSession second(copy->engine);
            EXPECT_FALSE(second.Begun());
            EXPECT_FALSE(second.ClaimDestination(heldBy));
            EXPECT_EQ(copy->engine.RunTable("CUST", ELogging::On).status, ETableStatus::Failed);
        }
        // The refused one gave back nothing that was the first's.
        EXPECT_TRUE(copy->engine.IsRunActive());
    }
    EXPECT_FALSE(copy->engine.IsRunActive());
    EXPECT_EQ(copy->dest.Scalar("SELECT COUNT(*) FROM CUST"), "0");
    EXPECT_EQ(copy->engine.RunTable("CUST", ELogging::On).status, ETableStatus::Copied);
    EXPECT_EQ(copy->dest.Scalar("SELECT NAME FROM CUST"), "one");
}

TEST_P(RunSession, TriggersSwitchedOffComeOnAgainWhenTheirGuardGoes)
{
    auto copy = Make(Tables, Tables);
    CFbConnection dest(1);
    ASSERT_TRUE(dest.Connect(TestUser, TestPassword, copy->dest.Name()));
    CTriggerSwitch triggers(copy->engine.Settings(), copy->engine.Logs(), copy->engine.Journal());
    const auto inactive = [&] {
        return copy->dest.Scalar("SELECT RDB$TRIGGER_INACTIVE FROM RDB$TRIGGERS WHERE RDB$TRIGGER_NAME = 'CUST_BI'");
    };
    for (const bool switchedOnBefore : {false, true})
    {
        {
            ASSERT_TRUE(triggers.SetActive(dest, "CUST", false));
            CTriggersOff off(triggers, dest, "CUST");
            dest.Commit();
            EXPECT_EQ(inactive(), "1");
            EXPECT_EQ(copy->engine.Journal().Entries().size(), 1u);
            if (switchedOnBefore)
            {
                EXPECT_TRUE(off.SwitchOn(false));
            }
        }
        dest.Commit();
        EXPECT_EQ(inactive(), "0") << switchedOnBefore;
        EXPECT_TRUE(copy->engine.Journal().Entries().empty());
    }
}

INSTANTIATE_TEST_SUITE_P(EmbeddedAndServer, RunSession, ::testing::Values(false, true), PathName);

// A raised abort cancels the statements of attachments registered for it,
// in this process also those that no call marks; not the statements of an
// attachment whose registration ended.
TEST(AbortSignal, CancelsTheWorkOfRegisteredAttachmentsOnly)
{
    CTempDatabase db("CREATE TABLE T (ID INTEGER);");
    CFbConnection registered(1);
    CFbConnection released(1);
    ASSERT_TRUE(registered.Connect(TestUser, TestPassword, db.Name()));
    ASSERT_TRUE(released.Connect(TestUser, TestPassword, db.Name()));
    CAbortSignal signal;
    {
        CAbortSignal::CRegistration gone(signal, {&released});
    }
    CAbortSignal::CRegistration cancelable(signal, {&registered, &released});
    cancelable.Release();
    CAbortSignal::CRegistration kept(signal, {&registered});
    EXPECT_FALSE(signal.Raised());
    const auto count = [](CFbConnection& connection, int to, int& failure) {
        connection.Execute("EXECUTE BLOCK AS DECLARE I INTEGER = 0; BEGIN WHILE (I < " + std::to_string(to) +
                               ") DO I = I + 1; END",
                           failure);
    };
    int registeredFailure = 0;
    int releasedFailure = 0;
    std::atomic<bool> registeredDone{false};
    std::thread endless([&] {
        count(registered, 2000000000, registeredFailure);
        registeredDone = true;
    });
    std::thread shortWork([&] { count(released, 3000000, releasedFailure); });
    // A cancel reaches a statement that has begun: asked again until it did.
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (!registeredDone && std::chrono::steady_clock::now() < end)
    {
        signal.Raise();
        std::this_thread::sleep_for(std::chrono::milliseconds(10)); // pacing the asks, bounded by end
    }
    endless.join();
    shortWork.join();
    EXPECT_TRUE(signal.Raised());
    EXPECT_NE(registeredFailure, 0);
    EXPECT_NE(registered.LastErrorMessage().find("cancel"), std::string::npos) << registered.LastErrorMessage();
    EXPECT_EQ(releasedFailure, 0) << released.LastErrorMessage();
    signal.Reset();
    EXPECT_FALSE(signal.Raised());
}
