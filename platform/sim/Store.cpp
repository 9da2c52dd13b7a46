#include "platform/sim/Store.h"

#include "platform/sim/SimNetwork.h"

#include <atomic>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <mutex>
#include <pthread.h>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>

namespace platform::sim {

namespace {
[[noreturn]] void throwDb(sqlite3* db, int rc) {
    std::string msg = db ? sqlite3_errmsg(db) : sqlite3_errstr(rc);
    throw DbError(rc, msg);
}

// Every table of the network. Names compare without regard to ASCII letter case, as on
// Windows; rows keep the case they were given. Rows are kept in insertion order (id), which
// is the order of the description (browser order for machines).
const char* const Schema = R"sql(
CREATE TABLE meta(key TEXT PRIMARY KEY, value TEXT NOT NULL);
CREATE TABLE domains(id INTEGER PRIMARY KEY, name TEXT NOT NULL COLLATE NOCASE UNIQUE,
  sid TEXT NOT NULL, controller TEXT NOT NULL);
CREATE TABLE accounts(id INTEGER PRIMARY KEY, domain_id INTEGER NOT NULL,
  name TEXT NOT NULL COLLATE NOCASE, rid INTEGER NOT NULL, use TEXT NOT NULL,
  password TEXT NOT NULL, description TEXT NOT NULL, full_name TEXT NOT NULL,
  disabled INTEGER NOT NULL, locked INTEGER NOT NULL DEFAULT 0,
  password_expired INTEGER NOT NULL DEFAULT 0, network_logon_denied INTEGER NOT NULL DEFAULT 0,
  UNIQUE(domain_id, name));
CREATE TABLE machines(id INTEGER PRIMARY KEY, name TEXT NOT NULL COLLATE NOCASE UNIQUE,
  domain TEXT NOT NULL, types INTEGER NOT NULL, platform_id INTEGER NOT NULL,
  reachable INTEGER NOT NULL, admin INTEGER NOT NULL, messenger INTEGER NOT NULL,
  latency_ms INTEGER NOT NULL, timeout_ms INTEGER NOT NULL, calls_left INTEGER NOT NULL DEFAULT -1);
CREATE TABLE services(id INTEGER PRIMARY KEY, machine_id INTEGER NOT NULL,
  name TEXT NOT NULL COLLATE NOCASE, display_name TEXT NOT NULL, start TEXT NOT NULL,
  state TEXT NOT NULL, since_ms INTEGER NOT NULL, account TEXT NOT NULL, password TEXT NOT NULL,
  start_ms INTEGER NOT NULL, stop_ms INTEGER NOT NULL, wait_hint_ms INTEGER NOT NULL,
  hang INTEGER NOT NULL, fail INTEGER NOT NULL, config_not_kept INTEGER NOT NULL DEFAULT 0,
  UNIQUE(machine_id, name));
CREATE TABLE reg_keys(id INTEGER PRIMARY KEY, machine_id INTEGER NOT NULL, root TEXT NOT NULL,
  path TEXT NOT NULL COLLATE NOCASE, parent TEXT NOT NULL COLLATE NOCASE,
  name TEXT NOT NULL COLLATE NOCASE, denied INTEGER NOT NULL, UNIQUE(machine_id, root, path));
CREATE INDEX reg_keys_children ON reg_keys(machine_id, root, parent, name);
CREATE TABLE reg_values(id INTEGER PRIMARY KEY, key_id INTEGER NOT NULL,
  name TEXT NOT NULL COLLATE NOCASE, type INTEGER NOT NULL, data BLOB NOT NULL,
  UNIQUE(key_id, name));
CREATE TABLE rights(id INTEGER PRIMARY KEY, machine_id INTEGER NOT NULL, sid TEXT NOT NULL,
  right_name TEXT NOT NULL COLLATE NOCASE, UNIQUE(machine_id, sid, right_name));
CREATE TABLE messages(id INTEGER PRIMARY KEY, machine_id INTEGER NOT NULL, text TEXT NOT NULL);
CREATE INDEX messages_machine ON messages(machine_id);
CREATE TABLE licence_servers(id INTEGER PRIMARY KEY, host TEXT NOT NULL COLLATE NOCASE UNIQUE);
CREATE TABLE licence_clients(id INTEGER PRIMARY KEY, server_id INTEGER NOT NULL, name TEXT NOT NULL);
CREATE INDEX licence_clients_server ON licence_clients(server_id);
CREATE TABLE scm_locks(machine_id INTEGER PRIMARY KEY, pid INTEGER NOT NULL,
  pid_start INTEGER NOT NULL, since_ms INTEGER NOT NULL);
)sql";

// Columns added since the first files were written: table, column, definition.
const char* const AddedColumns[][3] = {
    {"accounts", "locked", "INTEGER NOT NULL DEFAULT 0"},
    {"accounts", "password_expired", "INTEGER NOT NULL DEFAULT 0"},
    {"accounts", "network_logon_denied", "INTEGER NOT NULL DEFAULT 0"},
    {"machines", "calls_left", "INTEGER NOT NULL DEFAULT -1"}, // -1: NoCallLimit
    {"services", "config_not_kept", "INTEGER NOT NULL DEFAULT 0"},
};

bool hasColumn(Connection& c, const char* table, const char* column) {
    sqlite3_stmt* stmt = nullptr;
    const std::string sql = std::string("SELECT 1 FROM pragma_table_info('") + table + "') WHERE name = ?";
    int rc = sqlite3_prepare_v2(c.handle(), sql.c_str(), -1, &stmt, nullptr);
    if (rc != SQLITE_OK) throwDb(c.handle(), rc);
    sqlite3_bind_text(stmt, 1, column, -1, SQLITE_STATIC);
    rc = sqlite3_step(stmt);
    sqlite3_finalize(stmt);
    if (rc != SQLITE_ROW && rc != SQLITE_DONE) throwDb(c.handle(), rc);
    return rc == SQLITE_ROW;
}
} // namespace

// ---- Statement ----

Statement::~Statement() {
    sqlite3_reset(s);
    sqlite3_clear_bindings(s);
}

Statement& Statement::bind(int index, std::int64_t value) {
    int rc = sqlite3_bind_int64(s, index, value);
    if (rc != SQLITE_OK) throwDb(sqlite3_db_handle(s), rc);
    return *this;
}

Statement& Statement::bind(int index, const std::string& value) {
    int rc = sqlite3_bind_text(s, index, value.data(), static_cast<int>(value.size()), SQLITE_TRANSIENT);
    if (rc != SQLITE_OK) throwDb(sqlite3_db_handle(s), rc);
    return *this;
}

Statement& Statement::bindBlob(int index, const std::vector<std::uint8_t>& value) {
    // A zero-length blob must stay a blob, not NULL, so pass a valid pointer.
    static const std::uint8_t none = 0;
    int rc = sqlite3_bind_blob(s, index, value.empty() ? &none : value.data(), static_cast<int>(value.size()),
                               SQLITE_TRANSIENT);
    if (rc != SQLITE_OK) throwDb(sqlite3_db_handle(s), rc);
    return *this;
}

bool Statement::step() {
    int rc = sqlite3_step(s);
    if (rc == SQLITE_ROW) return true;
    if (rc == SQLITE_DONE) return false;
    throwDb(sqlite3_db_handle(s), rc);
}

void Statement::run() {
    while (step()) {
    }
}

std::string Statement::text(int column) const {
    const auto* p = reinterpret_cast<const char*>(sqlite3_column_text(s, column));
    int n = sqlite3_column_bytes(s, column);
    return p ? std::string(p, static_cast<std::size_t>(n)) : std::string();
}

std::vector<std::uint8_t> Statement::blob(int column) const {
    const auto* p = static_cast<const std::uint8_t*>(sqlite3_column_blob(s, column));
    int n = sqlite3_column_bytes(s, column);
    return p ? std::vector<std::uint8_t>(p, p + n) : std::vector<std::uint8_t>();
}

// ---- Connection ----

namespace {
// SQLite counts every allocation under one process-wide mutex unless told not to; with a
// connection per thread and dozens of threads calling at once, that mutex is what they would
// queue on. Set before SQLite first initialises (a later call is refused, harmlessly).
void configureSqliteOnce() {
    static std::once_flag once;
    std::call_once(once, [] { sqlite3_config(SQLITE_CONFIG_MEMSTATUS, 0); });
}
} // namespace

Connection::Connection(const std::string& path, bool create) {
    configureSqliteOnce();
    int flags = SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX | (create ? SQLITE_OPEN_CREATE : 0);
    int rc = sqlite3_open_v2(path.c_str(), &db, flags, nullptr);
    if (rc != SQLITE_OK) {
        std::string msg = db ? sqlite3_errmsg(db) : sqlite3_errstr(rc);
        sqlite3_close(db);
        db = nullptr;
        throw DbError(rc, msg);
    }
    sqlite3_extended_result_codes(db, 0);
    // Writers of other processes hold the file only for one short transaction; wait for them.
    sqlite3_busy_timeout(db, 60000);
    // With a write-ahead log this keeps every commit consistent and syncs only at checkpoints.
    sqlite3_exec(db, "PRAGMA synchronous=NORMAL", nullptr, nullptr, nullptr);
    // Read the file, never map it: a connection drops its whole mapping whenever another one
    // has written, and with a connection per thread that unmapping (every core's address
    // cache flushed, every page faulted in again) cost more than the reads it saves.
    sqlite3_exec(db, "PRAGMA mmap_size=0", nullptr, nullptr, nullptr);
}

Connection::~Connection() {
    for (auto& [sql, stmt] : cache)
        sqlite3_finalize(stmt);
    if (db) sqlite3_close(db);
}

Statement Connection::query(const char* sql) {
    auto it = cache.find(sql);
    if (it == cache.end()) {
        sqlite3_stmt* stmt = nullptr;
        int rc = sqlite3_prepare_v3(db, sql, -1, SQLITE_PREPARE_PERSISTENT, &stmt, nullptr);
        if (rc != SQLITE_OK) throwDb(db, rc);
        it = cache.emplace(sql, stmt).first;
    }
    return Statement(it->second);
}

void Connection::exec(const std::string& sql) {
    char* err = nullptr;
    int rc = sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &err);
    if (rc != SQLITE_OK) {
        std::string msg = err ? err : sqlite3_errstr(rc);
        sqlite3_free(err);
        throw DbError(rc, msg);
    }
}

void Connection::verifyFormat() {
    std::string format, version;
    {
        sqlite3_stmt* stmt = nullptr;
        int rc = sqlite3_prepare_v2(db, "SELECT key, value FROM meta WHERE key IN ('format','version')", -1,
                                    &stmt, nullptr);
        if (rc != SQLITE_OK) {
            std::string msg = sqlite3_errmsg(db);
            sqlite3_finalize(stmt);
            if (rc == SQLITE_ERROR)
                throw DbError(SQLITE_NOTADB, "it holds no simulated network (" + msg + ")");
            throw DbError(rc, msg);
        }
        while ((rc = sqlite3_step(stmt)) == SQLITE_ROW) {
            std::string key = reinterpret_cast<const char*>(sqlite3_column_text(stmt, 0));
            const char* v = reinterpret_cast<const char*>(sqlite3_column_text(stmt, 1));
            (key == "format" ? format : version) = v ? v : "";
        }
        std::string msg = sqlite3_errmsg(db);
        sqlite3_finalize(stmt);
        if (rc != SQLITE_DONE) throw DbError(rc, msg);
    }
    if (format != FormatName) throw DbError(SQLITE_NOTADB, "it holds no simulated network");
    if (version != FormatVersion)
        throw DbError(SQLITE_NOTADB,
                      "its format version " + version + " is not the supported " + FormatVersion);
    // Catch damage in pages the first query did not touch before any call relies on them.
    sqlite3_stmt* stmt = nullptr;
    int rc = sqlite3_prepare_v2(db, "PRAGMA quick_check", -1, &stmt, nullptr);
    if (rc != SQLITE_OK) throwDb(db, rc);
    std::string verdict;
    if ((rc = sqlite3_step(stmt)) == SQLITE_ROW) {
        const char* v = reinterpret_cast<const char*>(sqlite3_column_text(stmt, 0));
        verdict = v ? v : "";
    }
    std::string msg = sqlite3_errmsg(db);
    sqlite3_finalize(stmt);
    if (rc != SQLITE_ROW && rc != SQLITE_DONE) throw DbError(rc, msg);
    if (verdict != "ok") throw DbError(SQLITE_CORRUPT, "it is damaged (" + verdict + ")");
}

void Connection::createSchema() {
    exec(Schema);
    exec(std::string("INSERT INTO meta(key, value) VALUES('format','") + FormatName + "'),('version','" +
         FormatVersion + "')");
}

void Connection::addMissingColumns() {
    auto missing = [&] {
        for (const auto& [table, column, definition] : AddedColumns)
            if (!hasColumn(*this, table, column)) return true;
        return false;
    };
    if (!missing()) return;
    Transaction t(*this, true);
    // Another process may have added them meanwhile.
    for (const auto& [table, column, definition] : AddedColumns)
        if (!hasColumn(*this, table, column))
            exec(std::string("ALTER TABLE ") + table + " ADD COLUMN " + column + " " + definition);
    t.commit();
}

// ---- Transaction ----

std::mutex& processWriters() {
    static std::mutex writers;
    return writers;
}

Transaction::Transaction(Connection& c, bool write)
    : writing(write ? std::unique_lock<std::mutex>(processWriters()) : std::unique_lock<std::mutex>()),
      conn(c) {
    conn.query(write ? "BEGIN IMMEDIATE" : "BEGIN").run();
}

Transaction::~Transaction() {
    if (!done) sqlite3_exec(conn.handle(), "ROLLBACK", nullptr, nullptr, nullptr);
}

void Transaction::commit() {
    conn.query("COMMIT").run();
    done = true;
}

// ---- Store ----

namespace {
// Moves on in the child of every fork: a connection opened before it is the parent's, and
// the child shares its file locks. Compared at every call instead of asking for the pid.
std::atomic<std::uint64_t> forks{0};

// A thread's own connection and what it was opened for.
struct ThreadConnection {
    std::unique_ptr<Connection> conn;
    std::string path;
    dev_t dev = 0;
    ino_t ino = 0;
    std::uint64_t forksAtOpen = 0;
    std::uint64_t generation = 0;
    bool inherited() const { return forksAtOpen != forks.load(std::memory_order_relaxed); }
    ~ThreadConnection() {
        // A forked child that ends must not close (and checkpoint) its parent's connection.
        if (conn && inherited()) conn->abandon();
    }
};
thread_local ThreadConnection threadConnection;
} // namespace

Store::Store() {
    pthread_atfork(nullptr, nullptr, [] { forks.fetch_add(1, std::memory_order_relaxed); });
}

Store& Store::instance() {
    static Store store;
    return store;
}

std::string Store::pathLocked() const {
    return overridePath.empty() ? defaultDatabasePath() : overridePath;
}

std::string Store::path() const {
    std::lock_guard<std::mutex> g(lock);
    return pathLocked();
}

std::string Store::problem() const {
    std::lock_guard<std::mutex> g(lock);
    return lastProblem;
}

void Store::setPath(const std::string& p) {
    std::lock_guard<std::mutex> g(lock);
    overridePath = p;
    // Each thread's next call opens the chosen file afresh, even when the path is the same
    // one: a test may have replaced the file under it, or written other bytes into it, so its
    // format is checked again too.
    ++generation;
    checkedFiles.clear();
    reportedProblem.clear();
    // This thread lets go of the old file now (a test may remove it next); the others do at
    // their next call.
    ThreadConnection& t = threadConnection;
    if (t.conn && t.inherited()) t.conn->abandon();
    t.conn.reset();
}

bool Store::checked(const std::string& p, dev_t dev, ino_t ino) const {
    std::lock_guard<std::mutex> g(lock);
    for (const CheckedFile& f : checkedFiles)
        if (f.dev == dev && f.ino == ino && f.path == p) return true;
    return false;
}

Connection* Store::connection() {
    std::string p;
    std::uint64_t gen = 0;
    {
        std::lock_guard<std::mutex> g(lock);
        p = pathLocked();
        gen = generation;
    }
    ThreadConnection& t = threadConnection;
    if (t.conn && t.inherited()) {
        // A forked child shares the parent's file locks; it must open its own connection.
        t.conn->abandon();
        t.conn.reset();
    }
    struct stat st {};
    if (::stat(p.c_str(), &st) != 0) {
        t.conn.reset();
        report("the network file " + p + " does not exist");
        return nullptr;
    }
    if (t.conn && (t.generation != gen || t.path != p || st.st_dev != t.dev || st.st_ino != t.ino))
        t.conn.reset();
    if (t.conn) return t.conn.get();
    try {
        auto c = std::make_unique<Connection>(p, false);
        // The check reads the whole file: every thread opens a connection of its own, but a
        // file needs it once.
        const bool check = !checked(p, st.st_dev, st.st_ino);
        if (check) {
            c->verifyFormat();
            c->addMissingColumns();
        }
        t.conn = std::move(c);
        t.path = p;
        t.dev = st.st_dev;
        t.ino = st.st_ino;
        t.forksAtOpen = forks.load(std::memory_order_relaxed);
        t.generation = gen;
        std::lock_guard<std::mutex> g(lock);
        if (check && generation == gen) checkedFiles.push_back({p, st.st_dev, st.st_ino});
        lastProblem.clear();
        reportedProblem.clear();
        return t.conn.get();
    } catch (const DbError& e) {
        report("the network file " + p + " cannot be used: " + e.what());
        return nullptr;
    }
}

Connection* Store::current() {
    ThreadConnection& t = threadConnection;
    return t.conn && !t.inherited() ? t.conn.get() : nullptr;
}

void Store::fail(const std::string& problem) {
    threadConnection.conn.reset();
    {
        // The file may have been damaged since it was checked: the next connection looks.
        std::lock_guard<std::mutex> g(lock);
        checkedFiles.clear();
    }
    report("the network file " + path() + " failed: " + problem);
}

void Store::report(const std::string& problem) {
    std::lock_guard<std::mutex> g(lock);
    lastProblem = problem;
    if (problem == reportedProblem) return;
    reportedProblem = problem;
    // Every remote call now fails as if the network were down; say once why.
    std::fprintf(stderr, "simnet: %s; every machine counts as unreachable\n", problem.c_str());
}

// ---- time and processes ----

std::int64_t nowMs() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(system_clock::now().time_since_epoch()).count();
}

namespace {
// Fields after the command name in /proc/<pid>/stat; empty when the process does not exist.
std::vector<std::string> statFields(std::int64_t pid) {
    std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
    std::string line;
    if (!in || !std::getline(in, line)) return {};
    auto close = line.rfind(')');
    if (close == std::string::npos) return {};
    std::istringstream rest(line.substr(close + 1));
    std::vector<std::string> fields;
    for (std::string f; rest >> f;)
        fields.push_back(f);
    return fields; // fields[0] is the state (field 3), fields[19] the start time (field 22)
}
} // namespace

std::int64_t processStartTicks(std::int64_t pid) {
    auto f = statFields(pid);
    if (f.size() < 20) return 0;
    try {
        return std::stoll(f[19]);
    } catch (...) {
        return 0;
    }
}

bool processAlive(std::int64_t pid, std::int64_t startTicks) {
    if (pid <= 0) return false;
    auto f = statFields(pid);
    if (f.size() < 20) return false;
    if (f[0] == "Z" || f[0] == "X") return false;
    try {
        return startTicks == 0 || std::stoll(f[19]) == startTicks;
    } catch (...) {
        return false;
    }
}

} // namespace platform::sim
