#pragma once
// What the registry's tests share: the suite's PostgreSQL server (scripts/pg-test-server.sh,
// started by the ctest fixture), a fresh database on it for each case, servers of a case's own
// for the cases that stop them, and psql to read the server's tables as the clinic's IT would.
#include <gtest/gtest.h>
#include <stdio.h>
#include <sys/wait.h>

#include <atomic>
#include <cstdint>
#include <fstream>
#include <memory>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "registry/Registry.h"
#include "tests/journal/JournalTestSupport.h"

namespace virel::registrytest {

using journaltest::FixedClock;
using journaltest::MeterRecord;
using journaltest::RawDb;
using journaltest::TempDir;

inline std::string ReadFile(const std::string& path) {
    std::ifstream file(path);
    std::string text;
    std::getline(file, text);
    return text;
}

// The output of a shell command (its status in `status`).
inline std::string Run(const std::string& command, int* status = nullptr) {
    std::string output;
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) return output;
    char buffer[4096];
    std::size_t n;
    while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0) output.append(buffer, n);
    const int rc = pclose(pipe);
    if (status) *status = WIFEXITED(rc) ? WEXITSTATUS(rc) : -1;
    return output;
}

inline std::string Quoted(const std::string& text) {
    std::string q = "'";
    for (char c : text) {
        if (c == '\'') q += "'\\''";
        else q += c;
    }
    return q + "'";
}

// A server as the script left it in a folder: its port and password.
class TServer {
public:
    explicit TServer(std::string dir) : dir_(std::move(dir)) {}
    const std::string& Dir() const { return dir_; }
    std::string Port() const { return ReadFile(dir_ + "/port"); }
    std::string Password() const { return ReadFile(dir_ + "/password"); }
    std::string Connection(const std::string& database) const {
        return "Driver={PostgreSQL Unicode};Server=127.0.0.1;Port=" + Port() +
               ";Database=" + database + ";Uid=virel;";
    }
    TRegistrySettings Settings(const std::string& database, const std::string& room) const {
        return {Connection(database), room, Password()};
    }
    // psql's unaligned output of a query on the database (fields split by "|").
    std::string Psql(const std::string& database, const std::string& sql,
                     int* status = nullptr) const {
        return Run("PGPASSWORD=" + Quoted(Password()) + " PGCONNECT_TIMEOUT=10 psql -X -q -At " +
                       "-h 127.0.0.1 -p " + Port() + " -U virel -d " + database + " -c " +
                       Quoted(sql) + " 2>&1",
                   status);
    }
    std::int64_t Count(const std::string& database, const std::string& sql) const {
        const std::string out = Psql(database, sql);
        try {
            return std::stoll(out);
        } catch (const std::exception&) {
            ADD_FAILURE() << sql << ": " << out;
            return -1;
        }
    }
    // A database of its own for a case: nothing of another case's rows in it.
    std::string NewDatabase() const {
        static std::atomic<int> n{0};
        std::mt19937_64 random(std::random_device{}());
        const std::string name = "t" + std::to_string(getpid()) + "_" + std::to_string(++n) + "_" +
                                 std::to_string(random() % 1000000);
        int status = 0;
        const std::string out = Psql("postgres", "CREATE DATABASE " + name, &status);
        EXPECT_EQ(status, 0) << out;
        return name;
    }
    bool Script(const std::string& action) const {
        int status = 0;
        const std::string out = Run(std::string(VIREL_PG_SCRIPT) + " " + action + " " + dir_ +
                                        " 2>&1",
                                    &status);
        EXPECT_EQ(status, 0) << action << ": " << out;
        return status == 0;
    }

private:
    std::string dir_;
};

// The suite's server (the ctest fixture started it).
inline const TServer& SuiteServer() {
    static const TServer server(VIREL_PG_DIR);
    return server;
}

// A server of the case's own, for the cases that stop and start it: stopped and removed with
// the scope.
class TOwnServer : public TServer {
public:
    // Beside the suite's (a folder the server's own user can reach, as /tmp's private folders
    // are not), by the process: cases run in parallel.
    TOwnServer() : TServer(std::string(VIREL_PG_DIR) + "-own-" + std::to_string(getpid())) {
        started_ = Script("start");
    }
    ~TOwnServer() { Script("stop"); }
    bool Started() const { return started_; }

private:
    bool started_ = false;
};

// A journal in a temporary folder.
class TTestJournal {
public:
    TTestJournal() {
        const TOpenResult opened = Reopen();
        EXPECT_EQ(opened.outcome, TOpenOutcome::Created) << opened.error;
    }
    TJournal& operator*() { return *journal_; }
    TJournal* operator->() { return journal_.get(); }
    // The registry's queue in it, as the pusher has it.
    TPushQueue& Queue() { return *queue_; }
    void Close() {
        queue_.reset();
        journal_.reset();
    }
    TOpenResult Reopen() {
        Close();
        journal_ = std::make_unique<TJournal>(Path(), clock_);
        queue_ = std::make_unique<TPushQueue>(*journal_);
        return journal_->Open();
    }
    std::string Path() const { return dir_ / "VIREL1_Service.db"; }
    const TempDir& Dir() const { return dir_; }
    FixedClock& Clock() { return clock_; }
    // `count` records of the meter numbered from `first`, one a minute from `start`.
    void Add(int first, int count, int device = 42, DateTime start = {2025, 3, 1, 8, 0, 0, 0}) {
        std::vector<TJournalRecord> records;
        for (int i = 0; i < count; ++i) {
            MeterRecord r;
            r.device = device;
            r.number = first + i;
            r.time = FromMilliseconds(ToMilliseconds(start) + (first + i) * 60'000LL);
            r.doseWhole = (first + i) % 200;
            r.doseFraction = (first + i) % 100;
            records.push_back(r.Journal());
        }
        const TCaptureResult captured = journal_->Capture(records);
        EXPECT_EQ(captured.outcome, TCaptureOutcome::Written) << captured.error;
    }
    std::int64_t RecordId(int number) {
        RawDb db(Path(), SQLITE_OPEN_READONLY);
        return std::stoll(db.One("SELECT id FROM records WHERE number = " + std::to_string(number)));
    }

private:
    TempDir dir_;
    FixedClock clock_;
    std::unique_ptr<TJournal> journal_;
    std::unique_ptr<TPushQueue> queue_;
};

}  // namespace virel::registrytest
