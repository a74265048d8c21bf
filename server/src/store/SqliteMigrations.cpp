// SPDX-License-Identifier: GPL-3.0-or-later
#include "store/SqliteMigrations.h"

#include <iterator>

namespace lirra::server {
namespace {

// Each entry moves the schema one version up; never edit one that has shipped, append instead.
const char* const kMigrations[] = {
    R"sql(
CREATE TABLE videos (
    id INTEGER PRIMARY KEY AUTOINCREMENT,
    lookup_key TEXT NOT NULL UNIQUE,
    hash TEXT NOT NULL,
    size INTEGER NOT NULL,
    file_name TEXT NOT NULL,
    native_language TEXT NOT NULL DEFAULT '',
    created_at INTEGER NOT NULL,
    last_seen_at INTEGER NOT NULL
);
CREATE INDEX videos_last_seen ON videos(last_seen_at);
CREATE TABLE library_files (
    id INTEGER PRIMARY KEY AUTOINCREMENT,
    path TEXT NOT NULL UNIQUE
);
CREATE TABLE subtitles (
    id INTEGER PRIMARY KEY AUTOINCREMENT,
    video_id INTEGER NOT NULL REFERENCES videos(id) ON DELETE CASCADE,
    origin TEXT NOT NULL CHECK (origin IN ('library', 'client', 'learner')),
    library_file_id INTEGER REFERENCES library_files(id),
    file_name TEXT NOT NULL,
    language TEXT NOT NULL DEFAULT '',
    format TEXT NOT NULL DEFAULT '',
    encoding TEXT NOT NULL DEFAULT '',
    original BLOB,
    text TEXT,
    created_at INTEGER NOT NULL,
    stored_at INTEGER,
    UNIQUE (video_id, library_file_id),
    CHECK ((original IS NULL) = (text IS NULL))
);
CREATE INDEX subtitles_video ON subtitles(video_id);
)sql",
    // Tracks read out of the video file itself, and that file: where it is and whether it has
    // been read. SQLite cannot change a CHECK, so the table is made anew with the same rows;
    // 'online' is let in now too, for the tracks fetched from the online database.
    R"sql(
CREATE TABLE subtitles_v2 (
    id INTEGER PRIMARY KEY AUTOINCREMENT,
    video_id INTEGER NOT NULL REFERENCES videos(id) ON DELETE CASCADE,
    origin TEXT NOT NULL
        CHECK (origin IN ('library', 'client', 'learner', 'container', 'online')),
    library_file_id INTEGER REFERENCES library_files(id),
    file_name TEXT NOT NULL,
    language TEXT NOT NULL DEFAULT '',
    format TEXT NOT NULL DEFAULT '',
    encoding TEXT NOT NULL DEFAULT '',
    original BLOB,
    text TEXT,
    created_at INTEGER NOT NULL,
    stored_at INTEGER,
    UNIQUE (video_id, library_file_id),
    CHECK ((original IS NULL) = (text IS NULL))
);
INSERT INTO subtitles_v2 (id, video_id, origin, library_file_id, file_name, language, format,
                          encoding, original, text, created_at, stored_at)
    SELECT id, video_id, origin, library_file_id, file_name, language, format, encoding,
           original, text, created_at, stored_at FROM subtitles;
DROP TABLE subtitles;
ALTER TABLE subtitles_v2 RENAME TO subtitles;
CREATE INDEX subtitles_video ON subtitles(video_id);
CREATE TABLE video_files (
    video_id INTEGER PRIMARY KEY REFERENCES videos(id) ON DELETE CASCADE,
    path TEXT NOT NULL,
    size INTEGER NOT NULL,
    mtime_ns INTEGER NOT NULL,
    found_at INTEGER NOT NULL,
    scanned_at INTEGER
);
)sql",
    // How each held track's times map onto its video's reference track, fitted when tracks
    // arrive. reference_id NULL: the video had no reference then; equal to subtitle_id: the
    // track is the reference; scale NULL otherwise: no credible fit.
    R"sql(
CREATE TABLE alignments (
    subtitle_id INTEGER PRIMARY KEY REFERENCES subtitles(id) ON DELETE CASCADE,
    reference_id INTEGER REFERENCES subtitles(id) ON DELETE CASCADE,
    scale REAL,
    offset_ms INTEGER,
    fitted_at INTEGER NOT NULL,
    CHECK ((scale IS NULL) = (offset_ms IS NULL))
);
CREATE INDEX alignments_reference ON alignments(reference_id);
)sql",
    // Word statuses by dictionary form (a form without a row is new), and the written words the
    // learner made count as another form.
    R"sql(
CREATE TABLE word_statuses (
    form TEXT PRIMARY KEY,
    status TEXT NOT NULL CHECK (status IN ('learning', 'known')),
    changed_at INTEGER NOT NULL
) WITHOUT ROWID;
CREATE INDEX word_statuses_status ON word_statuses(status, form);
CREATE TABLE word_forms (
    word TEXT PRIMARY KEY,
    form TEXT NOT NULL
) WITHOUT ROWID;
)sql",
    // The learner's notebook: lines and words saved while watching. The video is referred to
    // without a cascade and its name kept, so an item outlives whatever happens to the video;
    // ids are never reused, so an Anki note's key names one item for good.
    R"sql(
CREATE TABLE notebook_items (
    id INTEGER PRIMARY KEY AUTOINCREMENT,
    video_id INTEGER NOT NULL,
    video_name TEXT NOT NULL,
    start_ms INTEGER NOT NULL CHECK (start_ms >= 0),
    end_ms INTEGER NOT NULL CHECK (end_ms >= start_ms),
    text TEXT NOT NULL,
    translation TEXT NOT NULL DEFAULT '',
    word TEXT NOT NULL DEFAULT '',
    definition TEXT NOT NULL DEFAULT '',
    created_at INTEGER NOT NULL,
    sent_at INTEGER,
    anki_note_id INTEGER,
    UNIQUE (video_id, start_ms, end_ms, text, word)
);
)sql",
    // Each held track's cues, read once when it arrives (subtitles/CuePack.h) so that answers
    // and timing fits never read the file again; tracks held before are read at start.
    R"sql(
ALTER TABLE subtitles ADD COLUMN cues BLOB;
)sql",
    // Word imports written in batches, each its own write, with what each word's status was
    // before the import first changed it: an import that does not finish (a failure, a crash)
    // is undone from it, so none is kept in part.
    R"sql(
CREATE TABLE word_imports (
    id INTEGER PRIMARY KEY AUTOINCREMENT,
    finished INTEGER NOT NULL DEFAULT 0
);
CREATE TABLE word_import_undo (
    import_id INTEGER NOT NULL REFERENCES word_imports(id),
    form TEXT NOT NULL,
    status TEXT,
    changed_at INTEGER,
    PRIMARY KEY (import_id, form)
) WITHOUT ROWID;
)sql",
    // Background work as rows, so that any service on the database may do it and work a dead
    // service held is taken up after its lease (StoreJobs.h). At most one open job per kind
    // and video.
    R"sql(
CREATE TABLE jobs (
    id INTEGER PRIMARY KEY AUTOINCREMENT,
    kind TEXT NOT NULL,
    video_id INTEGER NOT NULL,
    parameters TEXT NOT NULL,
    state TEXT NOT NULL CHECK (state IN ('queued', 'claimed', 'done', 'failed')),
    owner TEXT,
    lease_end INTEGER NOT NULL,
    attempts INTEGER NOT NULL DEFAULT 0,
    created_at INTEGER NOT NULL
);
CREATE UNIQUE INDEX jobs_open ON jobs(kind, video_id) WHERE state IN ('queued', 'claimed');
CREATE INDEX jobs_claimable ON jobs(kind, lease_end) WHERE state IN ('queued', 'claimed');
)sql",
    // Every learner their own words, notebook and recent videos; what was there is the first
    // learner's, who has no name until the first account takes it over. SQLite cannot change a
    // key, so the tables are made anew with the same rows; the notebook's ids go on from where
    // they were (its sequence is carried over), so an Anki note's key never names another item.
    R"sql(
CREATE TABLE learners (
    id INTEGER PRIMARY KEY AUTOINCREMENT,
    name TEXT UNIQUE,
    password_hash TEXT,
    admin INTEGER NOT NULL DEFAULT 0,
    disabled INTEGER NOT NULL DEFAULT 0,
    anonymous INTEGER NOT NULL DEFAULT 0,
    created_at INTEGER NOT NULL,
    last_seen_ms INTEGER NOT NULL DEFAULT 0
);
INSERT INTO learners (id, created_at)
    VALUES (1, CAST((julianday('now') - 2440587.5) * 86400000 AS INTEGER));
CREATE TABLE word_statuses_v9 (
    learner_id INTEGER NOT NULL,
    form TEXT NOT NULL,
    status TEXT NOT NULL CHECK (status IN ('learning', 'known')),
    changed_at INTEGER NOT NULL,
    PRIMARY KEY (learner_id, form)
) WITHOUT ROWID;
INSERT INTO word_statuses_v9 (learner_id, form, status, changed_at)
    SELECT 1, form, status, changed_at FROM word_statuses;
DROP TABLE word_statuses;
ALTER TABLE word_statuses_v9 RENAME TO word_statuses;
CREATE INDEX word_statuses_status ON word_statuses(learner_id, status, form);
CREATE TABLE word_forms_v9 (
    learner_id INTEGER NOT NULL,
    word TEXT NOT NULL,
    form TEXT NOT NULL,
    PRIMARY KEY (learner_id, word)
) WITHOUT ROWID;
INSERT INTO word_forms_v9 (learner_id, word, form) SELECT 1, word, form FROM word_forms;
DROP TABLE word_forms;
ALTER TABLE word_forms_v9 RENAME TO word_forms;
ALTER TABLE word_imports ADD COLUMN learner_id INTEGER NOT NULL DEFAULT 1;
CREATE TABLE notebook_items_v9 (
    id INTEGER PRIMARY KEY AUTOINCREMENT,
    learner_id INTEGER NOT NULL,
    video_id INTEGER NOT NULL,
    video_name TEXT NOT NULL,
    start_ms INTEGER NOT NULL CHECK (start_ms >= 0),
    end_ms INTEGER NOT NULL CHECK (end_ms >= start_ms),
    text TEXT NOT NULL,
    translation TEXT NOT NULL DEFAULT '',
    word TEXT NOT NULL DEFAULT '',
    definition TEXT NOT NULL DEFAULT '',
    created_at INTEGER NOT NULL,
    sent_at INTEGER,
    anki_note_id INTEGER,
    UNIQUE (learner_id, video_id, start_ms, end_ms, text, word)
);
INSERT INTO notebook_items_v9 (id, learner_id, video_id, video_name, start_ms, end_ms, text,
                               translation, word, definition, created_at, sent_at, anki_note_id)
    SELECT id, 1, video_id, video_name, start_ms, end_ms, text, translation, word, definition,
           created_at, sent_at, anki_note_id FROM notebook_items;
DELETE FROM sqlite_sequence WHERE name = 'notebook_items_v9';
UPDATE sqlite_sequence SET name = 'notebook_items_v9' WHERE name = 'notebook_items';
DROP TABLE notebook_items;
ALTER TABLE notebook_items_v9 RENAME TO notebook_items;
CREATE TABLE learner_videos (
    learner_id INTEGER NOT NULL,
    video_id INTEGER NOT NULL REFERENCES videos(id) ON DELETE CASCADE,
    last_seen_ms INTEGER NOT NULL,
    PRIMARY KEY (learner_id, video_id)
) WITHOUT ROWID;
CREATE INDEX learner_videos_recent ON learner_videos(learner_id, last_seen_ms);
INSERT INTO learner_videos (learner_id, video_id, last_seen_ms)
    SELECT 1, id, last_seen_at FROM videos;
)sql",
    // Sessions by the SHA-256 of their token (a copied database signs nobody in), and failed
    // sign-ins counted per account and per client address.
    R"sql(
CREATE TABLE sessions (
    token_hash TEXT PRIMARY KEY,
    learner_id INTEGER NOT NULL REFERENCES learners(id),
    created_at INTEGER NOT NULL,
    expires_at INTEGER NOT NULL,
    last_used_ms INTEGER NOT NULL
) WITHOUT ROWID;
CREATE INDEX sessions_learner ON sessions(learner_id);
CREATE TABLE signin_failures (
    key TEXT PRIMARY KEY,
    failures INTEGER NOT NULL,
    window_start_ms INTEGER NOT NULL
) WITHOUT ROWID;
)sql",
};

constexpr int kSchemaVersion = static_cast<int>(std::size(kMigrations));

}  // namespace

int latestSchemaVersion() { return kSchemaVersion; }

bool migrateSchema(sqlite::Connection& db, std::string& error) {
    return migrateSchemaTo(db, kSchemaVersion, error);
}

bool migrateSchemaTo(sqlite::Connection& db, int target, std::string& error) {
    // The version is read under the write lock the steps are applied under: a second process
    // opening the same new database waits here and then finds the schema current, rather than
    // reading version 0 beside the first and creating the tables again.
    sqlite::Transaction tx(db, sqlite::Transaction::Kind::Write);
    if (!tx.begun()) {
        error = "cannot lock the database to migrate it: " + db.lastError();
        return false;
    }
    int version = 0;
    {
        auto st = db.statement("PRAGMA user_version");
        if (st.step() != sqlite::Statement::Step::Row) {
            error = "cannot read the schema version: " + db.lastError();
            return false;
        }
        version = static_cast<int>(st.columnInt(0));
    }
    if (version > target) {
        error = "the database has schema version " + std::to_string(version) +
                ", newer than this server's " + std::to_string(target);
        return false;
    }
    for (int v = version; v < target; ++v) {
        const std::string bump = "PRAGMA user_version = " + std::to_string(v + 1);
        if (!db.exec(kMigrations[v]) || !db.exec(bump.c_str())) {
            error = "cannot migrate the database to version " + std::to_string(v + 1) + ": " +
                    db.lastError();
            return false;
        }
    }
    if (!tx.commit()) {
        error =
            "cannot commit the schema at version " + std::to_string(target) + ": " + db.lastError();
        return false;
    }
    return true;
}

}  // namespace lirra::server
