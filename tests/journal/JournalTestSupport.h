#pragma once
// What the journal's tests share: a temporary folder, a fixed clock, records made from the
// meter's bytes, and a plain SQLite connection that looks at the file the way a clinic's tool
// would, behind the journal's back.
#include <gtest/gtest.h>
#include <sqlite3.h>
#include <stdlib.h>

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "core/meter/DeviceSeams.h"
#include "core/meter/MeasurementRecord.h"
#include "journal/Journal.h"
#include "journal/JournalRecord.h"

namespace virel::journaltest {

class FixedClock : public IClock {
public:
    std::int64_t LocalNowMs() override { return ToMilliseconds(now); }
    DateTime now{2025, 9, 14, 10, 30, 15, 0};
};

// A fresh folder under the system's temporary folder, removed with everything in it.
class TempDir {
public:
    TempDir() {
        std::string pattern = (std::filesystem::temp_directory_path() / "journal-XXXXXX").string();
        if (!mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
        path_ = pattern;
    }
    ~TempDir() {
        std::error_code error;
        std::filesystem::remove_all(path_, error);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    std::string operator/(const std::string& name) const { return path_ + "/" + name; }
    const std::string& path() const { return path_; }

private:
    std::string path_;
};

inline std::uint8_t Bcd(int value) {
    return static_cast<std::uint8_t>(value / 10 * 16 + value % 10);
}

// The 14 data bytes of a record as the meter sends them.
struct MeterRecord {
    int device = 42;
    int number = 1;
    DateTime time{2025, 9, 14, 10, 25, 0, 0};
    int doseWhole = 12;
    int doseFraction = 7;
    int error = 0;
    bool badTime = false;  // a time stamp with a nibble above 9

    MeasurementRecord Decoded() const {
        std::vector<std::uint8_t> b = {static_cast<std::uint8_t>(device >> 8),
                                       static_cast<std::uint8_t>(device),
                                       static_cast<std::uint8_t>(number >> 8),
                                       static_cast<std::uint8_t>(number),
                                       badTime ? std::uint8_t{0x6A} : Bcd(time.minute),
                                       Bcd(time.hour),
                                       Bcd(time.day),
                                       Bcd(time.month),
                                       Bcd(time.year - 2000),
                                       0,
                                       static_cast<std::uint8_t>(doseWhole >> 8),
                                       static_cast<std::uint8_t>(doseWhole),
                                       static_cast<std::uint8_t>(doseFraction),
                                       static_cast<std::uint8_t>(error)};
        b.push_back(Checksum(b.data(), b.size()));
        return *DecodeRecord(b.data(), b.size());
    }
    TJournalRecord Journal(TJournalSource source = TJournalSource::Print,
                           DateTime seen = {2025, 9, 14, 10, 30, 15, 0}) const {
        return JournalRecordOf(Decoded(), source, seen);
    }
};

// A connection of its own, as another program would open the file.
class RawDb {
public:
    explicit RawDb(const std::string& path, int flags = SQLITE_OPEN_READWRITE) {
        if (sqlite3_open_v2(path.c_str(), &db_, flags, nullptr) != SQLITE_OK) {
            ADD_FAILURE() << "cannot open " << path << ": " << sqlite3_errmsg(db_);
        }
        sqlite3_busy_timeout(db_, 5000);
    }
    ~RawDb() { sqlite3_close_v2(db_); }
    RawDb(const RawDb&) = delete;
    RawDb& operator=(const RawDb&) = delete;

    int Exec(const std::string& sql) {
        return sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, nullptr);
    }
    // The first column of the first row as text ("NULL" for NULL), or the error.
    std::string One(const std::string& sql) {
        sqlite3_stmt* s = nullptr;
        if (sqlite3_prepare_v2(db_, sql.c_str(), -1, &s, nullptr) != SQLITE_OK) {
            return std::string("error: ") + sqlite3_errmsg(db_);
        }
        std::string value;
        const int rc = sqlite3_step(s);
        if (rc == SQLITE_ROW) {
            const auto* text = sqlite3_column_text(s, 0);
            value = text ? reinterpret_cast<const char*>(text) : "NULL";
        } else if (rc != SQLITE_DONE) {
            value = std::string("error: ") + sqlite3_errmsg(db_);
        }
        sqlite3_finalize(s);
        return value;
    }
    std::vector<std::vector<std::string>> All(const std::string& sql) {
        std::vector<std::vector<std::string>> rows;
        sqlite3_stmt* s = nullptr;
        if (sqlite3_prepare_v2(db_, sql.c_str(), -1, &s, nullptr) != SQLITE_OK) {
            ADD_FAILURE() << sql << ": " << sqlite3_errmsg(db_);
            return rows;
        }
        while (sqlite3_step(s) == SQLITE_ROW) {
            std::vector<std::string> row;
            for (int c = 0; c < sqlite3_column_count(s); ++c) {
                const auto* text = sqlite3_column_text(s, c);
                row.push_back(text ? reinterpret_cast<const char*>(text) : "NULL");
            }
            rows.push_back(row);
        }
        sqlite3_finalize(s);
        return rows;
    }
    sqlite3* get() const { return db_; }

private:
    sqlite3* db_ = nullptr;
};

inline std::int64_t RowCount(const std::string& path) {
    RawDb db(path, SQLITE_OPEN_READONLY);
    return std::stoll(db.One("SELECT count(*) FROM records"));
}

inline bool FileExists(const std::string& path) {
    std::error_code error;
    return std::filesystem::exists(path, error);
}

}  // namespace virel::journaltest
