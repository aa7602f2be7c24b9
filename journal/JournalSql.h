#pragma once
#include <array>
#include <cstdint>
#include <string>

#include "core/DateTimeFormat.h"
#include "core/meter/MeasurementRecord.h"

// The SQL texts the journal's queries share (its schema in Journal.cpp, its records' queries in
// JournalRecord.cpp, the registry's report): a row's place in time and the period filter on
// it, spelled exactly as the index on it is.

// Where a row stands in time: the meter's minute, or for a row without a valid time stamp the
// minute it was first seen, counted in minutes since 1970 (an index entry of 4 bytes where the
// minute's text takes 16). Queries spell it exactly so, which lets SQLite use the index on it.
// strftime rather than a newer function: the clinic's SQLite tools must be able to read the
// index's definition, and some ship a SQLite years old.
#define VIREL_JOURNAL_MINUTE(text) "(CAST(strftime('%s', " text ") AS INTEGER) / 60)"
#define VIREL_JOURNAL_KEY VIREL_JOURNAL_MINUTE("coalesce(measured_at, substr(first_seen, 1, 16))")
#define VIREL_JOURNAL_ORDER " ORDER BY " VIREL_JOURNAL_KEY " DESC, device DESC, id DESC"
#define VIREL_JOURNAL_COLUMNS \
    "id, raw, device, number, measured_at, dose, device_error, first_seen, source"
#define VIREL_JOURNAL_PERIOD                                                                \
    " WHERE " VIREL_JOURNAL_KEY " >= " VIREL_JOURNAL_MINUTE("?1") " AND " VIREL_JOURNAL_KEY \
                                                                  " < " VIREL_JOURNAL_MINUTE("?2")
// A period's rows at or after an anchor in their order (newest first). The anchor's key is the
// upper end of the index range (the period's own end lies above it, and SQLite takes one upper
// bound); the rest sorts out the rows of the anchor's own minute.
#define VIREL_JOURNAL_FROM_ANCHOR                                                                \
    " WHERE " VIREL_JOURNAL_KEY                                                                  \
    " >= " VIREL_JOURNAL_MINUTE("?1") " AND " VIREL_JOURNAL_KEY " <= ?3 AND (" VIREL_JOURNAL_KEY \
                                      " < ?3 OR device < ?4 OR (device = ?4 AND id <= ?5))"

namespace virel {

class TStatement;
struct TJournalRecord;

// A record's columns in the order of VIREL_JOURNAL_COLUMNS without the id (raw, device, number,
// measured_at, dose, device_error, first_seen, source), from column `at` on; false when its
// bytes are not 14 (a row imported without them), which then stay as they were.
bool ReadRecordColumns(const TStatement& s, int at, TJournalRecord& record);
// A record's 14 bytes from the column; false when the column holds no 14 bytes.
bool ReadRawColumn(const TStatement& s, int column, std::array<std::uint8_t, kRecordSize - 1>& raw);

// The upper bound of a period (?2 above): the day after its last, as the lowest text above all
// of that day.
std::string DayAfter(const DateTime& day);
}  // namespace virel
