// SPDX-License-Identifier: GPL-3.0-or-later
#include "accounts/Password.h"

#include <sodium.h>

namespace lirra::server::accounts {
// Made by hashPassword: the same limits, so verifying it costs what verifying a real one does.
const char kNobodysHash[] =
    "$argon2id$v=19$m=65536,t=2,p=1$wMGdWDB9IeSCnDH68ilNbw$D8/K9gb74j5h4wOtzE2OOcHXMJpLI7Y5q3J/"
    "gqF50hk";

namespace {

bool ready() { return sodium_init() >= 0; }  // idempotent and thread-safe

}  // namespace

std::string hashPassword(std::string_view password) {
    char out[crypto_pwhash_STRBYTES];
    if (!ready() ||
        crypto_pwhash_str(out, password.data(), password.size(), crypto_pwhash_OPSLIMIT_INTERACTIVE,
                          crypto_pwhash_MEMLIMIT_INTERACTIVE) != 0) {
        return {};
    }
    return out;
}

bool verifyPassword(const std::string& hash, std::string_view password) {
    return ready() && !hash.empty() &&
           crypto_pwhash_str_verify(hash.c_str(), password.data(), password.size()) == 0;
}

bool needsRehash(const std::string& hash) {
    return crypto_pwhash_str_needs_rehash(hash.c_str(), crypto_pwhash_OPSLIMIT_INTERACTIVE,
                                          crypto_pwhash_MEMLIMIT_INTERACTIVE) != 0;
}

void verifyNothing(std::string_view password) { (void)verifyPassword(kNobodysHash, password); }

}  // namespace lirra::server::accounts
