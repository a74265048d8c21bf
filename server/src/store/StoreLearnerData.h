// SPDX-License-Identifier: GPL-3.0-or-later
// DatabaseStore's part of what is each learner's own as a whole: removing a learner with all of
// it, while the videos and their tracks, which every learner shares, stay.
#pragma once

#include "store/DatabaseStore.h"
#include "store/StoreSupport.h"

namespace lirra::server {

template <class D>
StoreStatus DatabaseStore<D>::deleteLearner(std::int64_t learner, std::string& error) {
    auto db = acquire(error);
    if (!db) return StoreStatus::Failed;
    Transaction tx(*db, Transaction::Kind::Write);
    if (!tx.begun()) return failed(*db, error);
    // The undo rows first: they refer to the imports.
    for (const char* sql : {
             "DELETE FROM word_import_undo WHERE import_id IN "
             "(SELECT id FROM word_imports WHERE learner_id = ?1)",
             "DELETE FROM word_imports WHERE learner_id = ?1",
             "DELETE FROM word_statuses WHERE learner_id = ?1",
             "DELETE FROM word_forms WHERE learner_id = ?1",
             "DELETE FROM notebook_items WHERE learner_id = ?1",
             "DELETE FROM learner_videos WHERE learner_id = ?1",
             "DELETE FROM sessions WHERE learner_id = ?1",
         }) {
        auto st = db->statement(sql);
        st.bind(1, learner);
        if (!st.run()) return failed(*db, error);
    }
    auto st = db->statement("DELETE FROM learners WHERE id = ?1 RETURNING id");
    st.bind(1, learner);
    const auto step = st.step();
    if (step == Statement::Step::Error) return failed(*db, error);
    if (step == Statement::Step::Done) return StoreStatus::NotFound;  // rolls back
    if (!st.run() || !tx.commit()) return failed(*db, error);
    return StoreStatus::Ok;
}

}  // namespace lirra::server
