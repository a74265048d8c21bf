// SPDX-License-Identifier: GPL-3.0-or-later
// The store's drivers, one body over SQLite and PostgreSQL: values round trip exactly, SQLite's
// numbered parameters bind by number on both, failures are told apart (busy or not), a
// transaction keeps nothing unless committed, and the schemas migrate once when raced.
#include <gtest/gtest.h>

#include <barrier>
#include <cstdint>
#include <limits>
#include <random>
#include <thread>

#include "Backends.h"

namespace lirra::server::test {
namespace {

template <class B>
class DriverTest : public ::testing::Test {
  protected:
    using Step = typename B::Statement::Step;
    using Tx = typename B::Transaction;

    void SetUp() override {
        db_ = backend_.connect();
        ASSERT_NE(db_, nullptr);
        ASSERT_TRUE(db_->exec(B::kTable)) << db_->lastError();
    }
    // Inserts a row; its id, or -1.
    std::int64_t insert(typename B::Connection& db, std::int64_t n, const std::string& s) {
        auto st = db.statement("INSERT INTO t (n, s) VALUES (?1, ?2) RETURNING id");
        st.bind(1, n).bind(2, s);
        return st.step() == Step::Row ? st.columnInt(0) : -1;
    }
    std::int64_t count() {
        auto st = db_->statement("SELECT count(*) FROM t");
        return st.step() == Step::Row ? st.columnInt(0) : -1;
    }

    B backend_;
    std::unique_ptr<typename B::Connection> db_;
};
TYPED_TEST_SUITE(DriverTest, Backends);

struct Row {
    std::int64_t n;
    std::string s, b;
    double r;
    bool nullBlob = false;
};

TYPED_TEST(DriverTest, ValuesRoundTripExactly) {
    using Step = typename TestFixture::Step;
    std::string everyByte;
    for (int c = 0; c < 256; ++c) everyByte += static_cast<char>(c);
    std::vector<Row> rows = {
        {0, "", "", 0.0},
        {std::numeric_limits<std::int64_t>::max(), "it's \"quoted\" ?1 $1", everyByte, 0.1},
        {std::numeric_limits<std::int64_t>::min(), "naïve — 日本語", std::string(3, '\0'), -1e300},
        {-1, "\\x41", "\\x41", 5e-324, false},
        {42, "null blob", "", 2.5, true},
    };
    std::mt19937 random(7);
    for (int i = 0; i < 20; ++i) {
        std::string blob(random() % 300, '\0');
        for (auto& c : blob) c = static_cast<char>(random());
        rows.push_back({static_cast<std::int64_t>(random()) << 20, "r" + std::to_string(i), blob,
                        static_cast<double>(random()) / 7.0});
    }
    for (const Row& row : rows) {
        std::int64_t id = 0;
        {
            auto st = this->db_->statement(
                "INSERT INTO t (n, s, b, r) VALUES (?1, ?2, ?3, ?4) RETURNING id");
            st.bind(1, row.n).bind(2, row.s).bindReal(4, row.r);
            if (row.nullBlob)
                st.bindNull(3);
            else
                st.bindBlob(3, row.b);
            ASSERT_EQ(st.step(), Step::Row) << this->db_->lastError();
            id = st.columnInt(0);
            ASSERT_TRUE(st.run());
        }
        auto st = this->db_->statement("SELECT n, s, b, r, b IS NULL FROM t WHERE id = ?1");
        st.bind(1, id);
        ASSERT_EQ(st.step(), Step::Row) << this->db_->lastError();
        EXPECT_EQ(st.columnInt(0), row.n);
        EXPECT_EQ(st.columnText(1), row.s);
        EXPECT_EQ(st.columnBlob(2), row.nullBlob ? "" : row.b) << row.s;
        EXPECT_EQ(st.columnIsNull(2), row.nullBlob) << row.s;
        EXPECT_EQ(st.columnInt(4), row.nullBlob ? 1 : 0) << row.s;
        EXPECT_EQ(st.columnReal(3), row.r) << row.s;
        EXPECT_EQ(st.step(), Step::Done);
    }
}

TYPED_TEST(DriverTest, ParametersBindByNumberWhateverTheirOrder) {
    using Step = typename TestFixture::Step;
    // Each: the SQL, its parameters from ?1 up bound to "a", "b", "c", and its answer.
    const struct {
        const char* sql;
        int parameters;
        std::string expected;
    } cases[] = {
        {"SELECT CAST(?2 AS TEXT) || CAST(?1 AS TEXT) || CAST(?3 AS TEXT)", 3, "bac"},
        {"SELECT CAST(?3 AS TEXT) || '?1' || CAST(?2 AS TEXT) || CAST(?1 AS TEXT)", 3, "c?1ba"},
        {"SELECT CAST(?1 AS TEXT) || \"?2\" FROM (SELECT 'x' AS \"?2\") AS q -- ?3\n", 1, "ax"},
        {"SELECT /* ?1 */ CAST(?2 AS TEXT) || 'it''s ?1' || CAST(?1 AS TEXT)", 2, "bit's ?1a"},
    };
    for (const auto& c : cases) {
        auto st = this->db_->statement(c.sql);
        for (int i = 1; i <= c.parameters; ++i) st.bind(i, std::string(1, 'a' + (i - 1)));
        ASSERT_EQ(st.step(), Step::Row) << c.sql << ": " << this->db_->lastError();
        EXPECT_EQ(st.columnText(0), c.expected) << c.sql;
    }
}

TYPED_TEST(DriverTest, FailuresAreFlaggedAndOnlyLockConflictsAreBusy) {
    using Step = typename TestFixture::Step;
    ASSERT_EQ(this->insert(*this->db_, 1, "one"), 1);
    // Each fails, none of them busy.
    EXPECT_FALSE(this->db_->statement("SELEC nothing").valid());
    EXPECT_FALSE(this->db_->lastErrorBusy());
    EXPECT_FALSE(this->db_->lastError().empty());
    EXPECT_EQ(this->insert(*this->db_, 2, "one"), -1);  // the unique text
    EXPECT_FALSE(this->db_->lastErrorBusy());
    {
        auto st = this->db_->statement("SELECT n FROM t WHERE id = ?1");
        st.bind(2, std::int64_t{1});  // no such parameter
        EXPECT_EQ(st.step(), Step::Error);
    }
    // Another writer holding the row: past a second's wait, the second one is told busy.
    auto other = this->backend_.connect();
    typename TestFixture::Tx holding(*this->db_, TestFixture::Tx::Kind::Write);
    ASSERT_TRUE(holding.begun());
    ASSERT_TRUE(this->db_->exec("UPDATE t SET n = 10 WHERE id = 1"));
    typename TestFixture::Tx waiting(*other, TestFixture::Tx::Kind::Write);
    EXPECT_FALSE(waiting.begun() && other->exec("UPDATE t SET n = 20 WHERE id = 1"));
    EXPECT_TRUE(other->lastErrorBusy()) << other->lastError();
}

TYPED_TEST(DriverTest, OnlyACommittedTransactionIsKept) {
    using Tx = typename TestFixture::Tx;
    enum { Dropped, Committed, CommittedAfterAFailure };
    for (const int kind : {Dropped, Committed, CommittedAfterAFailure}) {
        ASSERT_TRUE(this->db_->exec("DELETE FROM t"));
        bool committed = false;
        {
            Tx tx(*this->db_, Tx::Kind::Write);
            ASSERT_TRUE(tx.begun());
            ASSERT_GT(this->insert(*this->db_, 1, "row"), 0);
            if (kind == CommittedAfterAFailure) {
                EXPECT_EQ(this->insert(*this->db_, 2, "row"), -1);
            }
            if (kind != Dropped) committed = tx.commit();
        }
        // SQLite keeps a transaction a statement failed in, PostgreSQL drops it: either way
        // commit() says which.
        EXPECT_EQ(this->count(), committed ? 1 : 0) << kind;
        if (kind == Committed) {
            EXPECT_TRUE(committed) << this->db_->lastError();
        }
    }
}

// Several services starting at once on one new database: one migrates, each finds the schema
// current, and both backends reach the same version.
TYPED_TEST(DriverTest, SchemaMigratesOnceWhenRaced) {
    constexpr int kOpeners = 4;
    std::vector<std::unique_ptr<typename TypeParam::Connection>> dbs;
    for (int i = 0; i < kOpeners; ++i) dbs.push_back(this->backend_.connect());
    std::barrier start(kOpeners);
    std::vector<std::string> errors(kOpeners);
    std::vector<std::thread> threads;
    for (int i = 0; i < kOpeners; ++i) {
        threads.emplace_back([&, i] {
            start.arrive_and_wait();
            if (!TypeParam::migrate(*dbs[i], errors[i]) && errors[i].empty()) errors[i] = "?";
        });
    }
    for (auto& t : threads) t.join();
    for (const auto& e : errors) {
        EXPECT_EQ(e, "");
    }
    std::string error;
    EXPECT_TRUE(TypeParam::migrate(*dbs[0], error)) << error;
    // Numbered alike: both at the same version, a word status written on either schema.
    {
        auto st = dbs[0]->statement(TypeParam::kVersionSql);
        ASSERT_EQ(st.step(), TypeParam::Statement::Step::Row) << dbs[0]->lastError();
        EXPECT_EQ(st.columnInt(0), pg::schemaVersion());
    }
    EXPECT_TRUE(
        dbs[0]->exec("INSERT INTO word_statuses (form, status, changed_at) "
                     "VALUES ('run', 'known', 1)"))
        << dbs[0]->lastError();
}

}  // namespace
}  // namespace lirra::server::test
