// SPDX-License-Identifier: GPL-3.0-or-later
// The PostgreSQL pool across a server restart and at its size.
#include <gtest/gtest.h>

#include <optional>

#include "Backends.h"

namespace lirra::server::test {
namespace {

using Lease = pg::ConnectionPool::Lease;

bool selectOne(pg::Connection& db) {
    auto st = db.statement("SELECT 1");
    return st.step() == pg::Statement::Step::Row && st.columnInt(0) == 1;
}

TEST(PostgresPool, ARestartCostsTheRequestsInFlightAndThePoolKeepsItsSize) {
    pg::ConnectionPool pool(PostgresBackend().uri(), cluster().password(), 2);
    std::string error;
    bool busy = true;
    std::optional<Lease> inFlight(pool.acquire(error, busy));
    ASSERT_TRUE(*inFlight) << error;
    EXPECT_FALSE(busy);
    {
        Lease idle = pool.acquire(error, busy);
        ASSERT_TRUE(idle && selectOne(*idle)) << error;
    }
    ASSERT_TRUE(selectOne(**inFlight));
    ASSERT_TRUE(cluster().restart()) << cluster().error();
    // The request on a connection across the restart fails busy (a 503 to try again) ...
    EXPECT_FALSE(selectOne(**inFlight));
    EXPECT_TRUE((*inFlight)->lastErrorBusy()) << (*inFlight)->lastError();
    inFlight.reset();
    // ... and every later one works, on the idle connection reopened and the broken one's slot.
    Lease first = pool.acquire(error, busy);
    Lease second = pool.acquire(error, busy);
    ASSERT_TRUE(first && second) << error;
    EXPECT_TRUE(selectOne(*first) && selectOne(*second));
    // Both out: a third waits its second and is told busy.
    Lease third = pool.acquire(error, busy);
    EXPECT_FALSE(third);
    EXPECT_TRUE(busy);
    EXPECT_NE(error.find("in use"), std::string::npos) << error;
}

}  // namespace
}  // namespace lirra::server::test
