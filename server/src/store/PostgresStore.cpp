// SPDX-License-Identifier: GPL-3.0-or-later
// The store on PostgreSQL: the dialect's own calls and the store's parts compiled for it.
#include "store/PostgresStore.h"

#include "store/StoreAccounts.h"
#include "store/StoreJobs.h"
#include "store/StoreLearnerData.h"
#include "store/StoreNotebook.h"
#include "store/StoreOnlineFiles.h"
#include "store/StoreVideoFiles.h"
#include "store/StoreVideos.h"
#include "store/StoreWords.h"
#include "store/postgres/PostgresMigrations.h"

namespace lirra::server {

template class DatabaseStore<PostgresDialect>;

bool PostgresDialect::migrate(Connection& db, std::string& error) {
    return pg::migrateSchema(db, error);
}

int PostgresDialect::schemaVersion() { return pg::schemaVersion(); }

std::unique_ptr<Store> PostgresStore::open(const std::string& uri, const std::string& password,
                                           int connections, std::string& error,
                                           const AlignmentFitter* fitter) {
    auto store =
        std::make_unique<DatabaseStore<PostgresDialect>>(fitter, uri, password, connections);
    if (!store->prepare(error)) return nullptr;
    return store;
}

}  // namespace lirra::server
