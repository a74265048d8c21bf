// HTTPS for real: a fake of the database with a certificate of its own on loopback. The
// client refuses it unless that certificate is the one it trusts.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "FakeApi.h"
#include "OnlineClient.h"

namespace lirra::server::online {
namespace {

using namespace std::chrono_literals;

class OnlineTlsTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        dir_ = std::filesystem::temp_directory_path() /
               ("lirra-online-tls-" + std::to_string(::getpid()));
        std::filesystem::create_directories(dir_);
        const std::string command =
            "openssl req -x509 -newkey rsa:2048 -nodes -days 1 -subj /CN=127.0.0.1 "
            "-addext subjectAltName=IP:127.0.0.1 -keyout " +
            (dir_ / "key.pem").string() + " -out " + (dir_ / "cert.pem").string() + " 2>/dev/null";
        ASSERT_EQ(std::system(command.c_str()), 0);
    }
    static void TearDownTestSuite() { std::filesystem::remove_all(dir_); }

    static std::string cert() { return (dir_ / "cert.pem").string(); }

    std::unique_ptr<OnlineClient> client(const std::string& caFile) {
        ClientOptions options;
        options.userAgent = "Lirra v" LIRRA_VERSION;
        options.exchangeDeadline = 3000ms;
        auto c = std::make_unique<OnlineClient>(options);
        EXPECT_EQ(c->configure({fake->key, "", "", fake->root(), caFile}), "");
        return c;
    }

    void SetUp() override {
        fake = std::make_unique<test::FakeApi>(cert(), (dir_ / "key.pem").string());
        fake->subtitles = {{101, "en"}, {201, "es"}};
    }

    inline static std::filesystem::path dir_;
    std::unique_ptr<test::FakeApi> fake;
};

TEST_F(OnlineTlsTest, AnUntrustedCertificateIsRefused) {
    auto c = client("");
    const auto outcome = c->find({"00a1b2c3d4e5f607", 1, "Film.mkv"}, {"eng"});
    EXPECT_TRUE(outcome.links.empty());
    EXPECT_EQ(outcome.message, "The subtitle database could not be reached.");
    EXPECT_EQ(c->state().status, OnlineStatus::Offline);
    // The handshake failed before any request was read.
    EXPECT_TRUE(fake->seen().empty());
}

TEST_F(OnlineTlsTest, TheTrustedCertificateIsAcceptedAndLinksAreFetchedOverHttps) {
    auto c = client(cert());
    const auto outcome = c->find({"00a1b2c3d4e5f607", 1, "Film.mkv"}, {"eng", "spa"});
    EXPECT_EQ(outcome.message, "");
    ASSERT_EQ(outcome.links.size(), 2u);
    EXPECT_EQ(outcome.links[0].link.rfind("https://127.0.0.1:", 0), 0u);
    EXPECT_EQ(c->fetch(outcome.links[1].link).bytes, test::fakeSubtitleText(201));
}

TEST_F(OnlineTlsTest, PlainHttpIsRefusedAwayFromLoopback) {
    OnlineClient c(ClientOptions{});
    EXPECT_NE(c.configure({"key", "", "", "http://api.example.com/api/v1", ""}), "");
    EXPECT_EQ(c.state().status, OnlineStatus::Off);
    EXPECT_TRUE(c.find({"00a1b2c3d4e5f607", 1, "Film.mkv"}, {"eng"}).links.empty());
}

}  // namespace
}  // namespace lirra::server::online
