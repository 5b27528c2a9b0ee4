// SPDX-License-Identifier: GPL-3.0-or-later
#include "journal/Journal.h"

#include <sqlite3.h>

#include <cerrno>
#include <cstring>
#include <iterator>

#include "platform/FileAccess.h"
#include "platform/WallClock.h"

namespace journal {

namespace {

#ifdef _WIN32
constexpr char kSeparator = '\\';
#else
constexpr char kSeparator = '/';
#endif

// Each step from one schema version to the next, in order: the journal of
// version N has had the first N run. A step is never changed once released;
// a new one is added.
const char* const kMigrations[] = {
    // 1: cars, their visits and the actions of each visit.
    "CREATE TABLE cars ("
    "  id INTEGER PRIMARY KEY,"
    "  vin TEXT NOT NULL,"
    "  ecu_number TEXT NOT NULL,"
    "  texts TEXT NOT NULL,"  // every identification text, one per line
    "  UNIQUE (vin, ecu_number));"
    "CREATE TABLE visits ("
    "  id INTEGER PRIMARY KEY,"
    "  car_id INTEGER REFERENCES cars (id),"
    "  started TEXT NOT NULL,"
    "  started_ms INTEGER NOT NULL,"
    "  ended TEXT,"
    "  state INTEGER NOT NULL DEFAULT 0,"  // VisitState
    "  program TEXT NOT NULL,"
    "  port TEXT NOT NULL,"
    "  adapter TEXT NOT NULL,"
    "  recording TEXT,"
    "  report TEXT,"
    "  pid INTEGER NOT NULL);"  // the program writing it while it is open
    "CREATE INDEX visits_of_car ON visits (car_id, started_ms DESC);"
    "CREATE TABLE actions ("
    "  id INTEGER PRIMARY KEY,"
    "  visit_id INTEGER NOT NULL REFERENCES visits (id),"
    "  at TEXT NOT NULL,"
    "  seconds REAL NOT NULL,"
    "  kind TEXT NOT NULL,"
    "  text TEXT NOT NULL);"
    "CREATE INDEX actions_of_visit ON actions (visit_id);",
};
static_assert(std::size(kMigrations) == Journal::kSchemaVersion);

// A prepared statement, finalized at the end of its scope.
class Statement {
public:
    Statement(sqlite3* db, const char* sql) { sqlite3_prepare_v2(db, sql, -1, &s_, nullptr); }
    ~Statement() { sqlite3_finalize(s_); }
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;
    bool ok() const { return s_ != nullptr; }
    Statement& bind(int i, const std::string& v) {
        sqlite3_bind_text(s_, i, v.data(), static_cast<int>(v.size()), SQLITE_TRANSIENT);
        return *this;
    }
    Statement& bind(int i, std::int64_t v) {
        sqlite3_bind_int64(s_, i, v);
        return *this;
    }
    Statement& bind(int i, double v) {
        sqlite3_bind_double(s_, i, v);
        return *this;
    }
    // SQLITE_ROW, SQLITE_DONE or an error code.
    int step() { return s_ ? sqlite3_step(s_) : SQLITE_ERROR; }
    std::string text(int i) const {
        const auto* t = reinterpret_cast<const char*>(sqlite3_column_text(s_, i));
        return t ? std::string(t, static_cast<std::size_t>(sqlite3_column_bytes(s_, i))) : std::string();
    }
    std::int64_t integer(int i) const { return sqlite3_column_int64(s_, i); }
    double real(int i) const { return sqlite3_column_double(s_, i); }

private:
    sqlite3_stmt* s_ = nullptr;
};

// Why a journal cannot be used, in words, from SQLite's code.
std::string reason(sqlite3* db, int code) {
    if (code == SQLITE_READONLY_DBMOVED) return "the journal's file was moved or removed while the program ran";
    switch (code & 0xff) {
        case SQLITE_BUSY:
        case SQLITE_LOCKED:
            return "the journal is held by another program";
        case SQLITE_READONLY:
            return "the journal is read-only";
        case SQLITE_NOTADB:
            return "the file is not a journal";
        case SQLITE_CORRUPT:
            return "the journal is damaged";
        case SQLITE_FULL:
            return "the disk is full";
        case SQLITE_CANTOPEN:
        case SQLITE_PERM:
        case SQLITE_IOERR:
            return std::string("the journal cannot be opened or written (") + sqlite3_errmsg(db) + ")";
        default:
            return std::string("the journal failed (") + sqlite3_errmsg(db) + ")";
    }
}

bool exec(sqlite3* db, const char* sql, int& code) {
    code = sqlite3_exec(db, sql, nullptr, nullptr, nullptr);
    return code == SQLITE_OK;
}

std::string nowIso() { return platform::isoTime(platform::wallNow()); }

std::string joined(const std::vector<std::string>& texts) {
    std::string all;
    for (const std::string& t : texts) all += (all.empty() ? "" : "\n") + t;
    return all;
}

std::vector<std::string> split(const std::string& all) {
    std::vector<std::string> out;
    std::size_t from = 0;
    for (std::size_t at; (at = all.find('\n', from)) != std::string::npos; from = at + 1)
        out.push_back(all.substr(from, at - from));
    out.push_back(all.substr(from));
    return out;
}

}  // namespace

std::string defaultPath() { return platform::programDataFolder() + kSeparator + "journal.sqlite3"; }

std::string recordingsFolder(const std::string& journalPath) {
    const std::size_t slash = journalPath.find_last_of("/\\");
    return (slash == std::string::npos ? std::string(".") : journalPath.substr(0, slash)) + kSeparator + "recordings";
}

const char* stateName(VisitState s) {
    switch (s) {
        case VisitState::Open:
            return "open";
        case VisitState::Closed:
            return "closed";
        case VisitState::Interrupted:
            break;
    }
    return "interrupted";
}

std::unique_ptr<Journal> Journal::openToRead(const std::string& path, std::string& why) {
    if (auto j = open(path, why)) return j;
    if (why != path + ": the journal is read-only") return nullptr;
    return open(path, why, 3000, true);
}

std::unique_ptr<Journal> Journal::open(const std::string& path, std::string& why, int waitMs, bool readOnly) {
    const std::size_t slash = path.find_last_of("/\\");
    if (!readOnly && slash != std::string::npos && slash > 0 && !platform::makeFolders(path.substr(0, slash))) {
        why = path.substr(0, slash) + ": " + std::strerror(errno);
        return nullptr;
    }
    sqlite3* db = nullptr;
    int code = sqlite3_open_v2(path.c_str(), &db,
                               readOnly ? SQLITE_OPEN_READONLY : SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
    // The connection goes once its last statement is finalized (one may
    // still be open in the scope that failed).
    const auto fail = [&](int c) {
        why = path + ": " + reason(db, c);
        sqlite3_close_v2(db);
        return nullptr;
    };
    if (code != SQLITE_OK) return fail(code);
    // Another program's change takes a few milliseconds; one that holds the
    // file for seconds is stuck or not ours.
    sqlite3_busy_timeout(db, waitMs);
    // A file the system lets nobody write is opened for reading in silence.
    if (!readOnly && sqlite3_db_readonly(db, "main") == 1) return fail(SQLITE_READONLY);
    if (!exec(db, "PRAGMA foreign_keys = ON", code)) return fail(code);
    int version = 0;
    {
        Statement s(db, "PRAGMA user_version");
        code = s.step();
        if (code != SQLITE_ROW) return fail(code == SQLITE_DONE || code == SQLITE_OK ? SQLITE_ERROR : code);
        version = static_cast<int>(s.integer(0));
    }
    if (version > kSchemaVersion) {
        why = path + ": the journal was written by a newer version of the program (its schema " +
              std::to_string(version) + ", this one knows " + std::to_string(kSchemaVersion) + ")";
        sqlite3_close_v2(db);
        return nullptr;
    }
    if (version > 0) {
        Statement s(db, "PRAGMA quick_check(1)");
        code = s.step();
        if (code != SQLITE_ROW) return fail(code);
        if (s.text(0) != "ok") return fail(SQLITE_CORRUPT);
    }
    // No version: a new journal, or another program's database, which is
    // said and left as it is. Judged where the version is sure: another of
    // our programs may be making the journal at this very moment.
    const auto foreign = [db]() {
        Statement s(db, "SELECT COUNT(*) FROM sqlite_master WHERE name NOT LIKE 'sqlite_%'");
        const int c = s.step();
        if (c != SQLITE_ROW) return c;
        return s.integer(0) > 0 ? SQLITE_NOTADB : SQLITE_OK;
    };
    if (version == 0 && readOnly && (code = foreign()) != SQLITE_OK) return fail(code);
    if (version < kSchemaVersion && readOnly) return fail(SQLITE_READONLY);  // not brought up to date here
    if (version < kSchemaVersion) {
        // Another program may be making it at the same moment: the version
        // is read again inside the transaction.
        if (!exec(db, "BEGIN IMMEDIATE", code)) return fail(code);
        Statement s(db, "PRAGMA user_version");
        version = s.step() == SQLITE_ROW ? static_cast<int>(s.integer(0)) : version;
        // The reason is taken before the rollback, which clears SQLite's message.
        const auto undo = [&](int c) {
            why = path + ": " + reason(db, c);
            sqlite3_exec(db, "ROLLBACK", nullptr, nullptr, nullptr);
            sqlite3_close_v2(db);
            return nullptr;
        };
        if (version == 0 && (code = foreign()) != SQLITE_OK) return undo(code);
        for (; version < kSchemaVersion; ++version)
            if (!exec(db, kMigrations[version], code)) return undo(code);
        const std::string set = "PRAGMA user_version = " + std::to_string(kSchemaVersion);
        if (!exec(db, set.c_str(), code) || !exec(db, "COMMIT", code)) return undo(code);
    }
    return std::unique_ptr<Journal>(new Journal(db, path));
}

Journal::~Journal() { sqlite3_close_v2(db_); }

bool Journal::fail() const {
    problem_ = path_ + ": " + reason(db_, sqlite3_extended_errcode(db_));
    return false;
}

int Journal::closeInterrupted() {
    struct Dead {
        std::int64_t id, endMs;
        std::string lastAction;  // its time as written, when it is the end
    };
    std::vector<Dead> dead;
    {
        Statement s(db_,
                    "SELECT v.id, v.pid, v.started_ms, v.recording, "
                    "(SELECT MAX(seconds) FROM actions WHERE visit_id = v.id), "
                    "(SELECT at FROM actions WHERE visit_id = v.id ORDER BY seconds DESC LIMIT 1), v.started "
                    "FROM visits v WHERE v.state = 0");
        while (s.step() == SQLITE_ROW) {
            // Its program ended, or the number is another program's now:
            // one begun after the visit (the system restarted meanwhile, or
            // gave the number out again).
            const long pid = static_cast<long>(s.integer(1));
            const std::int64_t started = s.integer(2);
            const std::optional<std::int64_t> began = platform::processStartMs(pid);
            if (platform::processRunning(pid) && !(began && *began > started + 2000)) continue;
            // Its end is the last thing it wrote: an action, or its recording.
            Dead d{s.integer(0), started + static_cast<std::int64_t>(s.real(4) * 1000), s.text(5)};
            if (d.lastAction.empty()) d.lastAction = s.text(6);  // no action: its start
            const std::optional<std::int64_t> written = platform::fileModifiedMs(s.text(3));
            if (written && *written > d.endMs) d.endMs = *written, d.lastAction.clear();
            dead.push_back(d);
        }
    }
    int closed = 0;
    for (const Dead& d : dead) {
        const std::string ended =
            d.lastAction.empty() ? platform::isoTime({d.endMs, platform::wallNow().offsetMinutes}) : d.lastAction;
        Statement s(db_, "UPDATE visits SET state = 2, ended = ?2 WHERE id = ?1 AND state = 0");
        if (s.bind(1, d.id).bind(2, ended).step() == SQLITE_DONE) closed += sqlite3_changes(db_);
    }
    return closed;
}

std::int64_t Journal::beginVisit(const VisitStart& v) {
    const platform::WallTime now = platform::wallNow();
    Statement s(db_,
                "INSERT INTO visits (started, started_ms, program, port, adapter, recording, pid) "
                "VALUES (?, ?, ?, ?, ?, NULLIF(?, ''), ?)");
    s.bind(1, platform::isoTime(now))
        .bind(2, now.unixMs)
        .bind(3, v.program)
        .bind(4, v.port)
        .bind(5, v.adapter)
        .bind(6, v.recording)
        .bind(7, static_cast<std::int64_t>(platform::processId()));
    if (s.step() != SQLITE_DONE) return fail(), 0;
    return sqlite3_last_insert_rowid(db_);
}

bool Journal::setCar(std::int64_t visit, const std::vector<std::string>& given) {
    // The texts are kept one per line: a line end or another control byte
    // the ECU sent in one would shift every text after it, or reach a
    // terminal as a command. They are kept as spaces.
    std::vector<std::string> texts = given;
    for (std::string& t : texts)
        for (char& c : t)
            if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = ' ';
    const std::string vin = texts.size() > 0 ? texts[0] : std::string();
    const std::string ecu = texts.size() > 1 ? texts[1] : std::string();
    int code = 0;
    if (!exec(db_, "BEGIN IMMEDIATE", code)) return fail();
    const auto undo = [this] {
        fail();
        sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
        return false;
    };
    {
        Statement s(db_,
                    "INSERT INTO cars (vin, ecu_number, texts) VALUES (?1, ?2, ?3) "
                    "ON CONFLICT (vin, ecu_number) DO UPDATE SET texts = ?3");
        if (s.bind(1, vin).bind(2, ecu).bind(3, joined(texts)).step() != SQLITE_DONE) return undo();
    }
    std::int64_t car = 0, had = 0;
    {
        Statement s(db_,
                    "SELECT (SELECT id FROM cars WHERE vin = ?1 AND ecu_number = ?2), "
                    "COALESCE((SELECT car_id FROM visits WHERE id = ?3), 0)");
        if (s.bind(1, vin).bind(2, ecu).bind(3, visit).step() != SQLITE_ROW) return undo();
        car = s.integer(0);
        had = s.integer(1);
    }
    if (had == 0) {
        Statement s(db_, "UPDATE visits SET car_id = ? WHERE id = ?");
        if (s.bind(1, car).bind(2, visit).step() != SQLITE_DONE) return undo();
    }
    if (!exec(db_, "COMMIT", code)) return undo();
    if (had != 0 && had != car)
        return addAction(visit, -1, "car", "другой автомобиль: " + vin + (ecu.empty() ? "" : ", ЭБУ " + ecu));
    return true;
}

bool Journal::addAction(std::int64_t visit, double seconds, const std::string& kind, const std::string& text) {
    Statement s(db_,
                "INSERT INTO actions (visit_id, at, seconds, kind, text) VALUES (?1, ?2, CASE WHEN ?3 < 0 THEN "
                "(julianday(?2) - julianday((SELECT started FROM visits WHERE id = ?1))) * 86400 ELSE ?3 END, ?4, ?5)");
    s.bind(1, visit).bind(2, nowIso()).bind(3, seconds).bind(4, kind).bind(5, text);
    return s.step() == SQLITE_DONE || fail();
}

bool Journal::setRecording(std::int64_t visit, const std::string& path) {
    Statement s(db_, "UPDATE visits SET recording = NULLIF(?, '') WHERE id = ?");
    return s.bind(1, path).bind(2, visit).step() == SQLITE_DONE || fail();
}

bool Journal::setReport(std::int64_t visit, const std::string& path) {
    Statement s(db_, "UPDATE visits SET report = ? WHERE id = ?");
    return s.bind(1, path).bind(2, visit).step() == SQLITE_DONE || fail();
}

bool Journal::forgetRecording(const std::string& path) {
    Statement s(db_, "UPDATE visits SET recording = NULL WHERE recording = ?");
    return s.bind(1, path).step() == SQLITE_DONE || fail();
}

bool Journal::endVisit(std::int64_t visit) {
    Statement s(db_, "UPDATE visits SET state = 1, ended = ? WHERE id = ?");
    return s.bind(1, nowIso()).bind(2, visit).step() == SQLITE_DONE || fail();
}

bool Journal::forgetIfEmpty(std::int64_t visit) {
    Statement s(db_,
                "DELETE FROM visits WHERE id = ? AND car_id IS NULL AND (report IS NULL OR report = '') AND NOT "
                "EXISTS (SELECT 1 FROM actions WHERE visit_id = ?)");
    if (s.bind(1, visit).bind(2, visit).step() != SQLITE_DONE) return fail();
    return sqlite3_changes(db_) > 0;
}

std::vector<Car> Journal::cars(const std::string& search) const {
    // The bare started column comes from the row of MAX(started_ms).
    Statement s(db_,
                "SELECT c.id, c.vin, c.ecu_number, c.texts, v.started, MAX(v.started_ms), COUNT(v.id) "
                "FROM cars c JOIN visits v ON v.car_id = c.id "
                "WHERE ?1 = '' OR instr(lower(c.texts), lower(?1)) > 0 "
                "GROUP BY c.id ORDER BY MAX(v.started_ms) DESC, c.id DESC");
    s.bind(1, search);
    std::vector<Car> out;
    int code;
    while ((code = s.step()) == SQLITE_ROW)
        out.push_back(
            {s.integer(0), s.text(1), s.text(2), split(s.text(3)), s.text(4), static_cast<int>(s.integer(6))});
    if (code != SQLITE_DONE) fail();
    return out;
}

namespace {
const char kVisitColumns[] =
    "SELECT v.id, COALESCE(v.car_id, 0), v.started, COALESCE(v.ended, ''), v.state, v.program, v.port, v.adapter, "
    "COALESCE(v.recording, ''), COALESCE(v.report, ''), (SELECT COUNT(*) FROM actions a WHERE a.visit_id = v.id) "
    "FROM visits v ";

Visit visitOf(const Statement& s) {
    Visit v;
    v.id = s.integer(0);
    v.car = s.integer(1);
    v.started = s.text(2);
    v.ended = s.text(3);
    v.state = static_cast<VisitState>(s.integer(4));
    v.program = s.text(5);
    v.port = s.text(6);
    v.adapter = s.text(7);
    v.recording = s.text(8);
    v.report = s.text(9);
    v.actions = static_cast<int>(s.integer(10));
    return v;
}
}  // namespace

std::vector<Visit> Journal::visits(std::int64_t car) const {
    const std::string sql = std::string(kVisitColumns) +
                            "WHERE ?1 = 0 OR v.car_id = ?1 OR (?1 = -1 AND v.car_id IS NULL) "
                            "ORDER BY v.started_ms DESC, v.id DESC";
    Statement s(db_, sql.c_str());
    s.bind(1, car);
    std::vector<Visit> out;
    int code;
    while ((code = s.step()) == SQLITE_ROW) out.push_back(visitOf(s));
    if (code != SQLITE_DONE) fail();
    return out;
}

std::vector<Visit> Journal::openVisits() const {
    const std::string sql = std::string(kVisitColumns) + "WHERE v.state = 0";
    Statement s(db_, sql.c_str());
    std::vector<Visit> out;
    while (s.step() == SQLITE_ROW) out.push_back(visitOf(s));
    return out;
}

std::vector<Action> Journal::actions(std::int64_t visit) const {
    Statement s(db_, "SELECT at, seconds, kind, text FROM actions WHERE visit_id = ? ORDER BY id");
    s.bind(1, visit);
    std::vector<Action> out;
    int code;
    while ((code = s.step()) == SQLITE_ROW) out.push_back({s.text(0), s.real(1), s.text(2), s.text(3)});
    if (code != SQLITE_DONE) fail();
    return out;
}

Visit Journal::previousDrive(const std::string& vin, const std::string& ecuNumber, std::int64_t beforeMs,
                             const std::string& notRecording) const {
    const std::string sql = std::string(kVisitColumns) +
                            "JOIN cars c ON c.id = v.car_id WHERE c.vin = ?1 AND c.ecu_number = ?2 "
                            "AND v.started_ms < ?3 AND v.recording IS NOT NULL AND v.recording <> ?4 "
                            "ORDER BY v.started_ms DESC, v.id DESC LIMIT 1";
    Statement s(db_, sql.c_str());
    s.bind(1, vin).bind(2, ecuNumber).bind(3, beforeMs).bind(4, notRecording);
    return s.step() == SQLITE_ROW ? visitOf(s) : Visit{};
}

}  // namespace journal
