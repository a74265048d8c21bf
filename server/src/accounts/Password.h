// SPDX-License-Identifier: GPL-3.0-or-later
// Passwords as Argon2id hashes in libsodium's text form (salt and limits inside it).
#pragma once

#include <string>
#include <string_view>

namespace lirra::server::accounts {

// At least libsodium's interactive limits; empty when hashing failed (out of memory).
std::string hashPassword(std::string_view password);
// False for a wrong password and for a hash that is not one.
bool verifyPassword(const std::string& hash, std::string_view password);
// Whether the hash was made with other limits than hashPassword's now.
bool needsRehash(const std::string& hash);
// A hash no password matches, made as hashPassword makes them.
extern const char kNobodysHash[];
// Takes as long as verifyPassword does, against a hash no password matches: a name that has no
// account is answered after the same work as a wrong password.
void verifyNothing(std::string_view password);

}  // namespace lirra::server::accounts
