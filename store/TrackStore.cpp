#include "store/TrackStore.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <memory>

#include "log/DebugLog.h"
#include "platform/DurableFiles.h"
#include "store/LegacyStoreFile.h"
#include "store/TrackInfoRecord.h"

namespace {

// Lengths the first store kept for MPEG files counted the encoder's delay
// and padding: a carried-over length this close to the exact one is the
// same track's.
constexpr int64_t carriedLengthSlack = 4608;
constexpr int busyWaitMs = 5000;

const char* const schema = R"(
CREATE TABLE IF NOT EXISTS tracks(
  id INTEGER PRIMARY KEY,
  fingerprint BLOB,
  frames INTEGER NOT NULL DEFAULT 0,
  rate INTEGER NOT NULL DEFAULT 0,
  signature BLOB,
  name TEXT NOT NULL DEFAULT '',
  path TEXT NOT NULL DEFAULT '',
  tempo REAL,
  length INTEGER,
  overview BLOB,
  learned INTEGER NOT NULL DEFAULT 0,
  played INTEGER NOT NULL DEFAULT 0);
CREATE UNIQUE INDEX IF NOT EXISTS tracks_by_identity ON tracks(fingerprint, frames, rate);
CREATE INDEX IF NOT EXISTS tracks_by_signature ON tracks(signature) WHERE fingerprint IS NULL;
CREATE TABLE IF NOT EXISTS carried(path TEXT PRIMARY KEY, records INTEGER NOT NULL, at INTEGER NOT NULL);
)";

// Columns added since the first schema, each added once to a database made
// before it (a second adding fails harmlessly). tempo_source: 1 when the
// analysis found the tempo, 2 when the user set it (a tempo without one was
// tapped: the first versions knew no other).
const char* const addedColumns[] = {
    "ALTER TABLE tracks ADD COLUMN tempo_source INTEGER",
    "ALTER TABLE tracks ADD COLUMN first_beat REAL",
    "ALTER TABLE tracks ADD COLUMN key INTEGER",
    // Where the tempo moves: every beat, in seconds, as little-endian
    // 64-bit floats; NULL for a constant tempo.
    "ALTER TABLE tracks ADD COLUMN beats BLOB",
};

constexpr size_t mostBeats = 4096;

std::vector<uint8_t> beatBytes(const std::vector<double>& beats) {
    std::vector<uint8_t> bytes;
    for (double beat : beats) {
        uint64_t bits;
        std::memcpy(&bits, &beat, sizeof bits);
        for (int k = 0; k < 8; ++k) bytes.push_back(static_cast<uint8_t>(bits >> (8 * k)));
    }
    return bytes;
}

// A stored list that is not whole, in order and finite is no list.
std::vector<double> beatsOf(const uint8_t* bytes, int size) {
    std::vector<double> beats;
    if (!bytes || size <= 0 || size % 8 != 0 || static_cast<size_t>(size) / 8 > mostBeats) return beats;
    for (int at = 0; at < size; at += 8) {
        uint64_t bits = 0;
        for (int k = 0; k < 8; ++k) bits |= static_cast<uint64_t>(bytes[at + k]) << (8 * k);
        double beat;
        std::memcpy(&beat, &bits, sizeof beat);
        if (!std::isfinite(beat) || beat < 0 || (!beats.empty() && beat <= beats.back())) return {};
        beats.push_back(beat);
    }
    return beats;
}

// A prepared statement that finalizes itself.
class Statement {
public:
    Statement(sqlite3* db, const char* sql) {
        if (db && sqlite3_prepare_v2(db, sql, -1, &statement_, nullptr) != SQLITE_OK) statement_ = nullptr;
    }
    ~Statement() { sqlite3_finalize(statement_); }
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;
    explicit operator bool() const { return statement_ != nullptr; }
    sqlite3_stmt* get() const { return statement_; }
    void bindBlob(int i, const void* bytes, size_t size) {
        sqlite3_bind_blob(statement_, i, bytes, static_cast<int>(size), SQLITE_TRANSIENT);
    }
    void bindText(int i, const std::string& text) {
        sqlite3_bind_text(statement_, i, text.c_str(), static_cast<int>(text.size()), SQLITE_TRANSIENT);
    }
    void bindInt(int i, int64_t v) { sqlite3_bind_int64(statement_, i, v); }
    void bindReal(int i, double v) { sqlite3_bind_double(statement_, i, v); }
    int step() { return sqlite3_step(statement_); }
    std::string text(int i) const {
        const auto* t = reinterpret_cast<const char*>(sqlite3_column_text(statement_, i));
        return t ? std::string(t, static_cast<size_t>(sqlite3_column_bytes(statement_, i))) : std::string();
    }
    bool isNull(int i) const { return sqlite3_column_type(statement_, i) == SQLITE_NULL; }

private:
    sqlite3_stmt* statement_ = nullptr;
};

void signatureBytes(const int32_t signature[4], uint8_t out[16]) {
    for (int i = 0; i < 4; ++i)
        for (int b = 0; b < 4; ++b) out[4 * i + b] = static_cast<uint8_t>(static_cast<uint32_t>(signature[i]) >> (8 * b));
}

// Four words all alike (silence gives them) identify nothing.
bool identifies(const int32_t signature[4]) {
    return !(signature[0] == signature[1] && signature[1] == signature[2] && signature[2] == signature[3]);
}

// Columns 0..8 of a row: name, path, tempo, length, overview, tempo_source,
// first_beat, key, beats.
void readFacts(const Statement& row, TrackFacts& facts) {
    facts.name = row.text(0);
    facts.path = row.text(1);
    facts.hasTempo = !row.isNull(2);
    facts.tempo = facts.hasTempo ? static_cast<float>(sqlite3_column_double(row.get(), 2)) : 0.0f;
    facts.hasLength = !row.isNull(3) && sqlite3_column_int64(row.get(), 3) > 0;
    facts.length = facts.hasLength ? sqlite3_column_int64(row.get(), 3) : 0;
    const auto* overview = static_cast<const uint8_t*>(sqlite3_column_blob(row.get(), 4));
    const int bytes = sqlite3_column_bytes(row.get(), 4);
    facts.hasOverview = overview && bytes == TrackInfoRecord::bitmapBytes;
    facts.overview.assign(facts.hasOverview ? overview : nullptr, facts.hasOverview ? overview + bytes : nullptr);
    facts.tempoByUser = facts.hasTempo && (row.isNull(5) || sqlite3_column_int(row.get(), 5) != 1);
    facts.hasFirstBeat = !row.isNull(6) && std::isfinite(sqlite3_column_double(row.get(), 6)) &&
                         sqlite3_column_double(row.get(), 6) >= 0;
    facts.firstBeat = facts.hasFirstBeat ? sqlite3_column_double(row.get(), 6) : 0.0;
    const int key = row.isNull(7) ? -1 : sqlite3_column_int(row.get(), 7);
    facts.hasKey = key >= 0 && key < 24;
    facts.key = facts.hasKey ? key : 0;
    facts.beats = beatsOf(static_cast<const uint8_t*>(sqlite3_column_blob(row.get(), 8)),
                          sqlite3_column_bytes(row.get(), 8));
}

bool isDamage(int code) { return code == SQLITE_CORRUPT || code == SQLITE_NOTADB; }

} // namespace

TrackStore::TrackStore(const std::string& path) : path_(path) {
    for (int attempt = 0; attempt < 2 && !db_; ++attempt) {
        sqlite3* db = nullptr;
        int code = sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_FULLMUTEX,
                                   nullptr);
        if (code == SQLITE_OK) {
            sqlite3_busy_timeout(db, busyWaitMs);
            char* error = nullptr;
            code = sqlite3_exec(db, "PRAGMA journal_mode=WAL; PRAGMA synchronous=NORMAL;", nullptr, nullptr, &error);
            if (code == SQLITE_OK) code = sqlite3_exec(db, schema, nullptr, nullptr, &error);
            sqlite3_free(error);
            if (code == SQLITE_OK)
                for (const char* column : addedColumns) sqlite3_exec(db, column, nullptr, nullptr, nullptr);
        }
        if (code == SQLITE_OK) {
            db_ = db;
            break;
        }
        sqlite3_close(db);
        if (!isDamage(code) || attempt > 0) {
            problem_ = "it cannot be opened; tempos and lengths are not kept";
            writeLog("Track store not opened: ");
            writeLog(path.c_str());
            writeLog("\n");
            return;
        }
        // Damaged: kept aside for whoever wants to look, and a new store made.
        const std::string aside = path + ".damaged";
        platform::removeFile(aside);
        platform::replaceFileWith(path, aside);
        platform::removeFile(path + "-wal");
        platform::removeFile(path + "-shm");
        problem_ = "it was damaged; it was put aside and a new one started";
        writeLog("Track store damaged, moved aside\n");
    }
}

TrackStore::~TrackStore() { sqlite3_close(db_); }

bool TrackStore::exec(const char* sql) {
    return db_ && sqlite3_exec(db_, sql, nullptr, nullptr, nullptr) == SQLITE_OK;
}

void TrackStore::failed(const char* what) {
    const int code = db_ ? sqlite3_errcode(db_) : SQLITE_ERROR;
    busy_ = code == SQLITE_BUSY || code == SQLITE_LOCKED;
    problem_ = code == SQLITE_FULL       ? "the disk is full; new facts are not kept"
               : code == SQLITE_READONLY ? "it cannot be written; new facts are not kept"
               : isDamage(code)          ? "it is damaged; it is put aside at the next start"
                                         : "it failed; new facts are not kept";
    writeLogf("Track store: %s failed: %s\n", what, db_ ? sqlite3_errmsg(db_) : "no database");
    if (isDamage(code)) {
        // Other processes may have it open: it is put aside by the next
        // opening that finds it damaged, with its journal files.
        sqlite3_close(db_);
        db_ = nullptr;
    }
}

bool TrackStore::find(const TrackIdentity& identity, TrackFacts& facts) {
    facts = TrackFacts{};
    if (!db_) return false;
    {
        Statement row(db_, "SELECT name, path, tempo, length, overview, tempo_source, first_beat, key, beats FROM tracks "
                           "WHERE fingerprint = ?1 AND frames = ?2 AND rate = ?3");
        if (!row) return failed("a lookup"), false;
        row.bindBlob(1, identity.fingerprint.data(), identity.fingerprint.size());
        row.bindInt(2, identity.frames);
        row.bindInt(3, identity.sampleRate);
        const int code = row.step();
        if (code == SQLITE_ROW) {
            readFacts(row, facts);
            return true;
        }
        if (code != SQLITE_DONE) return failed("a lookup"), false;
    }
    if (!identity.hasSignature || !identifies(identity.signature)) return false;
    uint8_t words[16];
    signatureBytes(identity.signature, words);
    Statement rows(db_, "SELECT name, path, tempo, length, overview, tempo_source, first_beat, key, beats, id FROM tracks "
                        "WHERE fingerprint IS NULL AND signature = ?1");
    if (!rows) return failed("a lookup"), false;
    rows.bindBlob(1, words, sizeof words);
    while (rows.step() == SQLITE_ROW) {
        TrackFacts carried;
        readFacts(rows, carried);
        // A carried-over record is this track's when its length agrees.
        if (identity.frames > 0 && carried.hasLength && std::llabs(carried.length - identity.frames) > carriedLengthSlack)
            continue;
        Statement adopt(db_, "UPDATE OR IGNORE tracks SET fingerprint = ?1, frames = ?2, rate = ?3 WHERE id = ?4");
        adopt.bindBlob(1, identity.fingerprint.data(), identity.fingerprint.size());
        adopt.bindInt(2, identity.frames);
        adopt.bindInt(3, identity.sampleRate);
        adopt.bindInt(4, sqlite3_column_int64(rows.get(), 9));
        if (!adopt || adopt.step() != SQLITE_DONE) failed("taking a carried record");
        facts = carried;
        // The first store's MPEG lengths were not exact: the exact one is the loader's to tell.
        if (identity.frames > 0) facts.hasLength = false;
        return true;
    }
    return false;
}

int64_t TrackStore::secondsAt(const std::string& path) {
    if (!db_) return -1;
    Statement row(db_, "SELECT length, rate FROM tracks WHERE path = ?1 AND length > 0 AND rate > 0 "
                       "ORDER BY learned DESC LIMIT 1");
    if (!row) return failed("a lookup"), -1;
    row.bindText(1, path);
    if (row.step() != SQLITE_ROW) return -1;
    const int64_t frames = sqlite3_column_int64(row.get(), 0), rate = sqlite3_column_int64(row.get(), 1);
    return (frames + rate / 2) / rate;
}

bool TrackStore::learn(const TrackIdentity& identity, const TrackFacts& facts) {
    busy_ = false;
    if (!db_) return false;
    Statement upsert(db_, R"(
INSERT INTO tracks(fingerprint, frames, rate, signature, name, path, tempo, length, overview, learned, played,
                   tempo_source, first_beat, key, beats)
VALUES(?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9, ?10, ?10, ?11, ?12, ?13, ?14)
ON CONFLICT(fingerprint, frames, rate) DO UPDATE SET
  name = excluded.name, path = excluded.path, signature = coalesce(excluded.signature, signature),
  tempo = coalesce(excluded.tempo, tempo), length = coalesce(excluded.length, length),
  overview = coalesce(excluded.overview, overview), learned = excluded.learned, played = excluded.played,
  tempo_source = CASE WHEN excluded.tempo IS NULL THEN tempo_source ELSE excluded.tempo_source END,
  first_beat = coalesce(excluded.first_beat, first_beat), key = coalesce(excluded.key, key),
  beats = CASE WHEN excluded.tempo IS NULL THEN beats ELSE excluded.beats END)");
    if (!upsert) return failed("keeping a fact"), false;
    upsert.bindBlob(1, identity.fingerprint.data(), identity.fingerprint.size());
    upsert.bindInt(2, identity.frames);
    upsert.bindInt(3, identity.sampleRate);
    uint8_t words[16];
    if (identity.hasSignature) {
        signatureBytes(identity.signature, words);
        upsert.bindBlob(4, words, sizeof words);
    }
    upsert.bindText(5, facts.name);
    upsert.bindText(6, facts.path);
    if (facts.hasTempo) upsert.bindReal(7, facts.tempo);
    if (facts.hasLength && facts.length > 0) upsert.bindInt(8, facts.length);
    if (facts.hasOverview && facts.overview.size() == static_cast<size_t>(TrackInfoRecord::bitmapBytes))
        upsert.bindBlob(9, facts.overview.data(), facts.overview.size());
    upsert.bindInt(10, static_cast<int64_t>(std::time(nullptr)));
    if (facts.hasTempo) upsert.bindInt(11, facts.tempoByUser ? 2 : 1);
    if (facts.hasFirstBeat && std::isfinite(facts.firstBeat) && facts.firstBeat >= 0) upsert.bindReal(12, facts.firstBeat);
    if (facts.hasKey && facts.key >= 0 && facts.key < 24) upsert.bindInt(13, facts.key);
    const std::vector<uint8_t> beats = facts.hasTempo && facts.beats.size() <= mostBeats ? beatBytes(facts.beats)
                                                                                         : std::vector<uint8_t>{};
    if (!beats.empty()) upsert.bindBlob(14, beats.data(), beats.size());
    if (upsert.step() != SQLITE_DONE) return failed("keeping a fact"), false;
    problem_ = nullptr;
    return true;
}

int TrackStore::carryOver(const std::string& legacyPath) {
    if (!db_) return -1;
    {
        Statement seen(db_, "SELECT 1 FROM carried WHERE path = ?1");
        seen.bindText(1, legacyPath);
        if (seen && seen.step() == SQLITE_ROW) return 0;
    }
    const LegacyStoreFile legacy = readLegacyStoreFile(legacyPath);
    if (legacy.state == LegacyStoreFile::State::Missing) return 0;
    if (legacy.state == LegacyStoreFile::State::NotOurs) return -1;
    if (!exec("BEGIN IMMEDIATE")) return failed("carrying records over"), -1;
    int taken = 0;
    for (const TrackInfoRecord& r : legacy.records) {
        if (!identifies(r.signature)) continue;
        Statement insert(db_, "INSERT INTO tracks(signature, name, path, tempo, length, overview, learned, played) "
                              "VALUES(?1, ?2, ?3, ?4, ?5, ?6, ?7, ?7)");
        uint8_t words[16];
        signatureBytes(r.signature, words);
        insert.bindBlob(1, words, sizeof words);
        insert.bindText(2, r.name);
        insert.bindText(3, r.path);
        if ((r.flags & TrackInfoRecord::TempoRecorded) && r.tempo > 0 && r.tempo < 10000) insert.bindReal(4, r.tempo);
        if ((r.flags & TrackInfoRecord::LengthRecorded) && r.length > 0) insert.bindInt(5, r.length);
        if (r.flags & TrackInfoRecord::BitmapRecorded) insert.bindBlob(6, r.bitmap, sizeof r.bitmap);
        insert.bindInt(7, r.stored);
        if (!insert || insert.step() != SQLITE_DONE) {
            exec("ROLLBACK");
            return failed("carrying records over"), -1;
        }
        ++taken;
    }
    Statement done(db_, "INSERT INTO carried(path, records, at) VALUES(?1, ?2, ?3)");
    done.bindText(1, legacyPath);
    done.bindInt(2, taken);
    done.bindInt(3, static_cast<int64_t>(std::time(nullptr)));
    if (!done || done.step() != SQLITE_DONE || !exec("COMMIT")) {
        exec("ROLLBACK");
        return failed("carrying records over"), -1;
    }
    writeLogf("Track store: %d records carried over from %s\n", taken, legacyPath.c_str());
    return taken;
}

int64_t TrackStore::recordCount() {
    Statement count(db_, "SELECT count(*) FROM tracks");
    return count && count.step() == SQLITE_ROW ? sqlite3_column_int64(count.get(), 0) : 0;
}

std::vector<SummaryLine> TrackStore::summaryLines() {
    std::vector<SummaryLine> lines;
    Statement rows(db_, "SELECT name, path, tempo, length, overview IS NOT NULL, played FROM tracks ORDER BY id");
    while (rows && rows.step() == SQLITE_ROW) {
        SummaryLine line{};
        line.name = rows.text(0);
        line.path = rows.text(1);
        if (!rows.isNull(2)) {
            line.flags |= TrackInfoRecord::TempoRecorded;
            line.tempo = static_cast<float>(sqlite3_column_double(rows.get(), 2));
        }
        if (!rows.isNull(3)) {
            line.flags |= TrackInfoRecord::LengthRecorded;
            line.length = static_cast<int32_t>(std::min<int64_t>(sqlite3_column_int64(rows.get(), 3), INT32_MAX));
        }
        if (sqlite3_column_int(rows.get(), 4)) line.flags |= TrackInfoRecord::BitmapRecorded;
        line.stored = static_cast<int32_t>(sqlite3_column_int64(rows.get(), 5));
        lines.push_back(std::move(line));
    }
    return lines;
}
