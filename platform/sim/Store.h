#pragma once
// The network file: one SQLite database shared by every process. A Connection caches its
// prepared statements; the Store gives each thread its own connection for the platform calls
// (an SQLite connection serves one thread at a time) and reopens it when the chosen path
// changes or the file at that path is replaced.
#include <sqlite3.h>

#include <cstdint>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <string>
#include <sys/types.h>
#include <unordered_map>
#include <vector>

namespace platform::sim {

// An SQLite failure inside a call; the facilities turn it into "network unreachable".
class DbError : public std::runtime_error {
  public:
    DbError(int code, const std::string& what) : std::runtime_error(what), code(code) {}
    int code;
};

// A cached prepared statement, reset and unbound when this goes out of scope.
class Statement {
  public:
    explicit Statement(sqlite3_stmt* stmt) : s(stmt) {}
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;
    ~Statement();

    Statement& bind(int index, std::int64_t value);
    Statement& bind(int index, const std::string& value);
    Statement& bindBlob(int index, const std::vector<std::uint8_t>& value);
    // True while a row is available; throws DbError on failure.
    bool step();
    void run(); // step to the end, for statements without rows

    std::int64_t integer(int column) const { return sqlite3_column_int64(s, column); }
    std::string text(int column) const;
    std::vector<std::uint8_t> blob(int column) const;

  private:
    sqlite3_stmt* s;
};

class Connection {
  public:
    // Opens an existing file (create=false) or creates one. Throws DbError.
    Connection(const std::string& path, bool create);
    ~Connection();
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    // sql must be a string literal: statements are cached by its address.
    Statement query(const char* sql);
    // A statement prepared now and never cached (for rarely run SQL).
    void exec(const std::string& sql);
    // Throws DbError unless the file holds a network of this program's format.
    void verifyFormat();
    // The tables of a new file; call inside the transaction that fills them.
    void createSchema();
    // Adds the columns a file written by an earlier build lacks, with their defaults.
    // Throws DbError.
    void addMissingColumns();
    // Forget the handle without closing it (a child after fork must not touch it).
    void abandon() {
        db = nullptr;
        cache.clear();
    }

    sqlite3* handle() const { return db; }

  private:
    sqlite3* db = nullptr;
    std::unordered_map<const char*, sqlite3_stmt*> cache;
};

// BEGIN (deferred, for reads) or BEGIN IMMEDIATE (writers queue on the busy timeout instead
// of failing at their first write); rolls back unless committed. The writers of this process
// first take turns on a mutex, so only other processes' writers are waited for by polling.
// Readers never wait: the file keeps a write-ahead log.
class Transaction {
  public:
    Transaction(Connection& c, bool write);
    ~Transaction();
    void commit();

  private:
    std::unique_lock<std::mutex> writing;
    Connection& conn;
    bool done = false;
};

// Safe to use from any thread; no lock of it is held while a call waits for a machine or
// for the file.
class Store {
  public:
    static Store& instance();

    // This thread's connection for the current path, opened or reopened as needed; nullptr
    // when the file cannot be used (missing, unreadable, corrupt), which is reported once on
    // stderr. A file's format is checked by the first connection of this process to it.
    Connection* connection();
    // This thread's connection as the last connection() left it, without looking at the file
    // again: for the rest of a call that has just asked for it. nullptr when there is none.
    Connection* current();
    // Drops this thread's connection after a failure so its next call opens the file afresh.
    void fail(const std::string& problem);

    // Every thread's next call opens the chosen file afresh.
    void setPath(const std::string& path);
    std::string path() const;
    std::string problem() const;

  private:
    Store();
    std::string pathLocked() const;
    bool checked(const std::string& path, dev_t dev, ino_t ino) const;
    void report(const std::string& problem);

    struct CheckedFile {
        std::string path;
        dev_t dev;
        ino_t ino;
    };

    mutable std::mutex lock; // guards the members below
    std::string overridePath;
    std::uint64_t generation = 0;          // moves on with every setPath
    std::vector<CheckedFile> checkedFiles; // whose format this process has checked
    std::string lastProblem;
    std::string reportedProblem;
};

// Held by a process's write transactions in turn.
std::mutex& processWriters();

std::int64_t nowMs();
// A process that has ended (or is a zombie) counts as gone; startTicks (field 22 of
// /proc/<pid>/stat) tells a reused pid from the original holder.
std::int64_t processStartTicks(std::int64_t pid);
bool processAlive(std::int64_t pid, std::int64_t startTicks);

constexpr const char* FormatName = "vantrel-simnet";
constexpr const char* FormatVersion = "1";

// machines.calls_left of a machine that never drops off the network.
constexpr std::int64_t NoCallLimit = -1;

} // namespace platform::sim
