// SPDX-License-Identifier: GPL-3.0-or-later
#include "accounts/SessionToken.h"

#include <sodium.h>

namespace lirra::server::accounts {
namespace {

constexpr std::size_t kTokenBytes = 32;

std::string hex(const unsigned char* bytes, std::size_t size) {
    std::string text(size * 2 + 1, '\0');
    sodium_bin2hex(text.data(), text.size(), bytes, size);
    text.pop_back();
    return text;
}

}  // namespace

SessionToken newSessionToken() {
    if (sodium_init() < 0) return {};
    unsigned char bytes[kTokenBytes];
    randombytes_buf(bytes, sizeof bytes);
    SessionToken token;
    token.text = hex(bytes, sizeof bytes);
    token.hash = sessionTokenHash(token.text);
    return token;
}

std::string sessionTokenHash(std::string_view text) {
    if (text.size() != kTokenBytes * 2 ||
        text.find_first_not_of("0123456789abcdef") != std::string_view::npos || sodium_init() < 0)
        return {};
    unsigned char digest[crypto_hash_sha256_BYTES];
    crypto_hash_sha256(digest, reinterpret_cast<const unsigned char*>(text.data()), text.size());
    return hex(digest, sizeof digest);
}

}  // namespace lirra::server::accounts
