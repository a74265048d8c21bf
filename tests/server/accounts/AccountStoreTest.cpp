// SPDX-License-Identifier: GPL-3.0-or-later
// Accounts in the store on both backends: the first account takes over the existing learner,
// sessions expire and slide, failures count in windows; the throttle over them.
#include <thread>

#include "Backends.h"
#include "accounts/Password.h"
#include "accounts/SigninThrottle.h"

namespace lirra::server::test {
namespace {

using S = StoreStatus;

template <class Backend>
class AccountStore : public ::testing::Test {
  protected:
    Backend backend;
    std::string error;
    std::unique_ptr<Store> store = openStore(backend, error);

    std::int64_t create(const std::string& name, bool expectTaken = false) {
        std::int64_t id = 0;
        bool taken = !expectTaken;
        EXPECT_EQ(store->createLearner(name, "h-" + name, false, id, taken, error), S::Ok) << error;
        EXPECT_EQ(taken, expectTaken) << name;
        return id;
    }
    S use(const std::string& hash, std::int64_t lifetimeMs = 60000, std::int64_t touchMs = 0) {
        Learner learner;
        const auto status = store->useSession(hash, lifetimeMs, touchMs, learner, error);
        return status == S::Ok && learner.id <= 0 ? S::Failed : status;
    }
};

TYPED_TEST_SUITE(AccountStore, Backends);

TYPED_TEST(AccountStore, FirstAccountTakesOverTheLearnerBeforeAccountsAndAnonymousOnesKeepTheirs) {
    auto& store = *this->store;
    std::string& error = this->error;
    std::int64_t anonymous = 0;
    ASSERT_EQ(store.createAnonymousLearner(anonymous, error), S::Ok) << error;
    EXPECT_EQ(this->create("alice"), 1) << "the data kept before accounts is the first account's";
    const std::int64_t bob = this->create("bob");
    EXPECT_GT(bob, anonymous);
    this->create("bob", true);
    bool taken = false;
    EXPECT_EQ(store.nameLearner(anonymous, "carol", "h", taken, error), S::Ok);
    EXPECT_FALSE(taken);
    EXPECT_EQ(store.nameLearner(bob, "dave", "h", taken, error), S::NotFound) << "not anonymous";
    EXPECT_EQ(store.nameLearner(anonymous, "erin", "h", taken, error), S::NotFound) << "named now";
    Learner carol;
    ASSERT_EQ(store.learnerByName("carol", carol, error), S::Ok);
    EXPECT_EQ(std::tie(carol.id, carol.anonymous, carol.passwordHash),
              std::make_tuple(anonymous, false, std::string("h")));
    EXPECT_EQ(store.setLearnerDisabled(999, true, error), S::NotFound);
    EXPECT_EQ(store.setPasswordHash(999, "h", error), S::NotFound);
    std::vector<Learner> named;
    ASSERT_EQ(store.namedLearners(named, error), S::Ok);
    ASSERT_EQ(named.size(), 3u);
    EXPECT_EQ(named[0].name + named[1].name + named[2].name, "alicebobcarol");
    ServiceFigures figures;
    ASSERT_EQ(store.serviceFigures(figures, error), S::Ok);
    EXPECT_EQ(std::tie(figures.accounts, figures.anonymous),
              std::make_tuple(std::int64_t{3}, std::int64_t{0}));
}

TYPED_TEST(AccountStore, SessionsExpireSlideEndAndDieWithTheirLearner) {
    auto& store = *this->store;
    std::string& error = this->error;
    const std::int64_t alice = this->create("alice"), bob = this->create("bob");
    ASSERT_EQ(store.createSession("a1", alice, 60000, error), S::Ok) << error;
    ASSERT_EQ(store.createSession("a2", alice, 60000, error), S::Ok);
    ASSERT_EQ(store.createSession("b1", bob, 60000, error), S::Ok);
    ASSERT_EQ(store.createSession("old", bob, -1, error), S::Ok);
    ASSERT_EQ(store.createSession("short", bob, 300, error), S::Ok);
    ASSERT_EQ(store.createSession("unslid", bob, 300, error), S::Ok);
    EXPECT_EQ(this->use("old"), S::NotFound) << "expired";
    EXPECT_EQ(this->use("short", 60000, 0), S::Ok);
    EXPECT_EQ(this->use("unslid", 60000, 60000), S::Ok) << "used too recently to be extended";
    std::this_thread::sleep_for(std::chrono::milliseconds(450));
    EXPECT_EQ(this->use("short"), S::Ok) << "its use extended it";
    EXPECT_EQ(this->use("unslid"), S::NotFound);
    ASSERT_EQ(store.deleteSession("a1", error), S::Ok);
    EXPECT_EQ(this->use("a1"), S::NotFound);
    EXPECT_EQ(this->use("a2"), S::Ok);
    ASSERT_EQ(store.setLearnerDisabled(bob, true, error), S::Ok);
    EXPECT_EQ(this->use("b1"), S::NotFound) << "a disabled account signs nobody in";
    ASSERT_EQ(store.setLearnerDisabled(bob, false, error), S::Ok);
    ASSERT_EQ(store.deleteSessions(alice, error), S::Ok);
    EXPECT_EQ(std::make_pair(this->use("a2"), this->use("b1")), std::make_pair(S::NotFound, S::Ok));
    ASSERT_EQ(store.deleteLearner(bob, error), S::Ok) << error;
    Learner gone;
    EXPECT_EQ(store.learnerById(bob, gone, error), S::NotFound);
    EXPECT_EQ(this->use("b1"), S::NotFound);
    EXPECT_EQ(store.learnerById(alice, gone, error), S::Ok);
}

TYPED_TEST(AccountStore, FailuresCountInAWindowPerKey) {
    auto& store = *this->store;
    std::string& error = this->error;
    // The count after recording a failure (or only reading it) under `key` in a window.
    auto count = [&](bool record, const char* key, std::int64_t windowMs) {
        std::int64_t n = -1;
        EXPECT_EQ(record ? store.recordSigninFailure(key, windowMs, n, error)
                         : store.signinFailures(key, windowMs, n, error),
                  S::Ok)
            << error;
        return n;
    };
    for (const std::int64_t want : {1, 2, 3}) EXPECT_EQ(count(true, "k", 60000), want);
    EXPECT_EQ(std::make_pair(count(true, "other", 60000), count(false, "k", 60000)),
              std::make_pair(std::int64_t{1}, std::int64_t{3}));
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
    EXPECT_EQ(count(false, "k", 1), 0) << "the window ended";
    EXPECT_EQ(count(true, "k", 1), 1) << "a new window starts";
    ASSERT_EQ(store.clearSigninFailures("k", error), S::Ok);
    EXPECT_EQ(count(false, "k", 60000), 0);
}

TEST(SigninThrottle, LimitsEachAccountAndEachAddress) {
    SqliteBackend backend;
    std::string error;
    const auto store = openStore(backend, error);
    ASSERT_TRUE(store) << error;
    const accounts::SigninThrottle throttle(*store, {2, 3, 60000, 2, 60000});
    auto allows = [&](const char* name, const char* address) {
        bool allowed = false;
        EXPECT_EQ(throttle.allows(name, address, allowed, error), S::Ok) << error;
        return allowed;
    };
    const struct {
        const char *fail, *from, *name, *address;
        bool allowed;
    } steps[] = {
        {"alice", "A", "alice", "A", true}, {"alice", "A", "alice", "B", false},
        {nullptr, "", "bob", "A", true},    {"bob", "A", "carol", "A", false},
        {nullptr, "", "carol", "B", true},  {nullptr, "", "alice", "C", false},
    };
    for (const auto& step : steps) {
        if (step.fail) {
            ASSERT_EQ(throttle.failed(step.fail, step.from, error), S::Ok);
        }
        EXPECT_EQ(allows(step.name, step.address), step.allowed)
            << step.name << " " << step.address;
    }
    ASSERT_EQ(throttle.succeeded("alice", error), S::Ok);
    EXPECT_TRUE(allows("alice", "C")) << "a good sign-in starts the account's count again";
    EXPECT_FALSE(allows("alice", "A")) << "but not the address's";
    bool allowed = false;
    for (const bool want : {true, true, false}) {
        ASSERT_EQ(throttle.registration("A", allowed, error), S::Ok);
        EXPECT_EQ(allowed, want);
    }
}

TEST(Passwords, VerifyOnlyTheirOwnAndTheDecoyCostsWhatARealHashDoes) {
    const std::string hash = accounts::hashPassword("correct horse");
    ASSERT_EQ(hash.rfind("$argon2id$", 0), 0u) << hash;
    EXPECT_TRUE(accounts::verifyPassword(hash, "correct horse"));
    EXPECT_FALSE(accounts::verifyPassword(hash, "correct hors"));
    EXPECT_FALSE(accounts::verifyPassword("", ""));
    EXPECT_FALSE(accounts::needsRehash(hash));
    EXPECT_FALSE(accounts::needsRehash(accounts::kNobodysHash))
        << "the unknown name's decoy must be verified under the same limits as a real hash";
    EXPECT_TRUE(accounts::needsRehash("$argon2id$v=19$m=4096,t=1,p=1$c2FsdHNhbHQ$aGFzaGhhc2g"));
}

}  // namespace
}  // namespace lirra::server::test
