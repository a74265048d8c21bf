// SPDX-License-Identifier: GPL-3.0-or-later
#include "accounts/SigninThrottle.h"

namespace lirra::server::accounts {
namespace {

std::string accountKey(const std::string& name) { return "account:" + name; }
std::string addressKey(const std::string& address) { return "address:" + address; }

}  // namespace

StoreStatus SigninThrottle::allows(const std::string& name, const std::string& address,
                                   bool& allowed, std::string& error) const {
    std::int64_t byAccount = 0, byAddress = 0;
    if (auto s = store_.signinFailures(accountKey(name), limits_.windowMs, byAccount, error);
        s != StoreStatus::Ok)
        return s;
    if (auto s = store_.signinFailures(addressKey(address), limits_.windowMs, byAddress, error);
        s != StoreStatus::Ok)
        return s;
    allowed = byAccount < limits_.perAccount && byAddress < limits_.perAddress;
    return StoreStatus::Ok;
}

StoreStatus SigninThrottle::failed(const std::string& name, const std::string& address,
                                   std::string& error) const {
    std::int64_t count = 0;
    if (auto s = store_.recordSigninFailure(accountKey(name), limits_.windowMs, count, error);
        s != StoreStatus::Ok)
        return s;
    return store_.recordSigninFailure(addressKey(address), limits_.windowMs, count, error);
}

StoreStatus SigninThrottle::succeeded(const std::string& name, std::string& error) const {
    return store_.clearSigninFailures(accountKey(name), error);
}

StoreStatus SigninThrottle::registration(const std::string& address, bool& allowed,
                                         std::string& error) const {
    std::int64_t count = 0;
    const auto status = store_.recordSigninFailure("register:" + address,
                                                   limits_.registrationWindowMs, count, error);
    allowed = count <= limits_.registrations;
    return status;
}

}  // namespace lirra::server::accounts
