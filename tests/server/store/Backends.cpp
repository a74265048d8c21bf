// SPDX-License-Identifier: GPL-3.0-or-later
#include "Backends.h"

namespace lirra::server::test {

lirra::test::PostgresCluster& cluster() {
    static lirra::test::PostgresCluster instance;
    if (!instance.running()) ADD_FAILURE() << "no test PostgreSQL: " << instance.error();
    return instance;
}

}  // namespace lirra::server::test
