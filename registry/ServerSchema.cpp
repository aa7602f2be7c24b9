#include "registry/ServerSchema.h"

#include <iterator>
#include <string>

namespace virel {

namespace {

// Step n brings the server's tables from version n - 1 to n. A step never changes once
// released: registries made with it exist.
//
// The records keep the local journal's column names (and meanings) plus the room, so that a
// query written for one room's journal reads the registry alike. Two columns are the server's
// own, computed from the others: the dose in whole mGy·cm² (the reports' exact unit, rounded
// half away from zero as the program rounds) and the minute a report files the record under
// (the meter's, or the minute it was first seen).
constexpr const char* kSteps[] = {
    "CREATE TABLE registry_meta ("
    "  key text PRIMARY KEY,"
    "  value text NOT NULL);"
    "CREATE TABLE rooms ("
    "  name text PRIMARY KEY,"
    "  first_push timestamptz NOT NULL DEFAULT now(),"
    "  last_push timestamptz NOT NULL DEFAULT now());"
    "CREATE TABLE records ("
    "  id bigserial PRIMARY KEY,"
    "  room text NOT NULL,"
    "  raw bytea NOT NULL CHECK (length(raw) = 14),"
    "  device integer NOT NULL,"
    "  number integer NOT NULL,"
    "  measured_at timestamp(0),"
    "  dose double precision NOT NULL,"
    "  device_error integer,"
    "  first_seen timestamp(0) NOT NULL,"
    "  source text NOT NULL,"
    "  pushed_at timestamptz NOT NULL DEFAULT now(),"
    "  dose_milli bigint GENERATED ALWAYS AS "
    "    ((sign(dose) * floor(abs(dose * 1000) + 0.5))::bigint) STORED,"
    "  at_minute timestamp(0) GENERATED ALWAYS AS "
    "    (coalesce(measured_at, date_trunc('minute', first_seen))) STORED,"
    "  current_annotation bigint,"
    "  current_kind_id bigint,"
    "  current_birth_year integer,"
    "  UNIQUE (room, raw));"
    "CREATE INDEX records_period ON records (at_minute, room);"
    // Every row of a record's annotation history, as in the local journal; the current
    // annotation is the latest saved. The record is named by its room and 14 bytes.
    "CREATE TABLE annotations ("
    "  id bigserial PRIMARY KEY,"
    "  room text NOT NULL,"
    "  raw bytea NOT NULL,"
    "  saved_at timestamp(0) NOT NULL,"
    "  patient text,"
    "  patient_form text NOT NULL,"
    "  birth_year integer,"
    "  kind_id bigint,"
    "  images integer,"
    "  operator text,"
    "  note text,"
    "  pushed_at timestamptz NOT NULL DEFAULT now(),"
    // The room's own number of the row: two saves within one second are two rows, and the
    // same row pushed again is still one. 0 for a row written by a tool.
    "  local_id bigint NOT NULL DEFAULT 0,"
    "  UNIQUE (room, raw, saved_at, local_id));"
    // The record's current annotation (the one pushed last, as the room's journal saved it
    // last) kept on the record by triggers, whichever of the two arrives first: a year's
    // report then reads the records alone instead of searching a million histories.
    "CREATE FUNCTION registry_annotation_arrived() RETURNS trigger LANGUAGE plpgsql AS $$ "
    "BEGIN "
    "  UPDATE records SET current_annotation = NEW.id, current_kind_id = NEW.kind_id,"
    "    current_birth_year = NEW.birth_year "
    "  WHERE room = NEW.room AND raw = NEW.raw "
    "    AND (current_annotation IS NULL OR current_annotation < NEW.id);"
    "  RETURN NULL; "
    "END $$;"
    "CREATE TRIGGER annotations_current AFTER INSERT ON annotations "
    "  FOR EACH ROW EXECUTE FUNCTION registry_annotation_arrived();"
    "CREATE FUNCTION registry_record_arrives() RETURNS trigger LANGUAGE plpgsql AS $$ "
    "BEGIN "
    "  SELECT id, kind_id, birth_year "
    "    INTO NEW.current_annotation, NEW.current_kind_id, NEW.current_birth_year "
    "  FROM annotations WHERE room = NEW.room AND raw = NEW.raw ORDER BY id DESC LIMIT 1;"
    "  RETURN NEW; "
    "END $$;"
    "CREATE TRIGGER records_current BEFORE INSERT ON records "
    "  FOR EACH ROW EXECUTE FUNCTION registry_record_arrives();"
    // Each room's catalogue with the room's own ids, as its annotations refer to them.
    "CREATE TABLE exam_kinds ("
    "  room text NOT NULL,"
    "  id bigint NOT NULL,"
    "  name text NOT NULL,"
    "  k_adult double precision,"
    "  k_child double precision,"
    "  PRIMARY KEY (room, id));",
    // 2: the kinds' reference and alert levels (DAP in Gy·cm²) and check-up flag; the rooms'
    // high-dose alerts, one per record (its room and 14 bytes) and level, so that a push sent
    // again adds nothing; its acknowledgement arrives with a later push and updates the row.
    "ALTER TABLE exam_kinds"
    "  ADD COLUMN reference_level double precision,"
    "  ADD COLUMN alert_level double precision,"
    "  ADD COLUMN preventive boolean NOT NULL DEFAULT false;"
    "CREATE TABLE alerts ("
    "  id bigserial PRIMARY KEY,"
    "  room text NOT NULL,"
    "  raw bytea NOT NULL CHECK (length(raw) = 14),"
    "  level text NOT NULL CHECK (level IN ('record', 'kind', 'checkup')),"
    "  level_value double precision NOT NULL,"
    "  value double precision NOT NULL,"
    "  kind_id bigint,"
    "  raised_at timestamp(0) NOT NULL,"
    "  acknowledged_at timestamp(0),"
    "  acknowledged_by text,"
    "  note text,"
    "  local_id bigint NOT NULL DEFAULT 0,"
    "  pushed_at timestamptz NOT NULL DEFAULT now(),"
    "  UNIQUE (room, raw, level));"
    "CREATE INDEX alerts_unacknowledged ON alerts (room, raised_at)"
    "  WHERE acknowledged_at IS NULL;",
};
static_assert(std::size(kSteps) == kServerSchemaVersion);

// Any number, the same in every room's program: the lock that makes the tables once.
constexpr const char* kLock = "SELECT pg_advisory_xact_lock(7310001)";

}  // namespace

void EnsureServerSchema(odbc::TConnection& connection) {
    try {
        connection.Execute(kLock);
        int version = 0;
        {
            odbc::TStatement exists = connection.NewStatement();
            exists.Direct(
                "SELECT CASE WHEN to_regclass('registry_meta') IS NULL THEN 0 ELSE 1 END");
            if (exists.Fetch() && exists.Int(1).value_or(0) == 1) {
                exists.CloseCursor();
                odbc::TStatement read = connection.NewStatement();
                read.Direct("SELECT value FROM registry_meta WHERE key = 'schema_version'");
                if (read.Fetch()) version = std::stoi(read.Text(1).value_or("0"));
            }
        }
        if (version > kServerSchemaVersion) {
            connection.Rollback();
            throw odbc::EOdbc("the registry's tables are of a newer version (" +
                                  std::to_string(version) + ") than this program's (" +
                                  std::to_string(kServerSchemaVersion) + ")",
                              "VRL01");
        }
        for (int step = version + 1; step <= kServerSchemaVersion; ++step) {
            connection.Execute(kSteps[step - 1]);
        }
        if (version < kServerSchemaVersion) {
            // The version is a constant of the program, never a value from outside.
            connection.Execute(
                "INSERT INTO registry_meta (key, value) VALUES ('schema_version', '" +
                std::to_string(kServerSchemaVersion) +
                "') ON CONFLICT (key) DO UPDATE SET value = excluded.value");
        }
        connection.Commit();
    } catch (...) {
        connection.Rollback();
        throw;
    }
}

}  // namespace virel
