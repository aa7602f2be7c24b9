#pragma once
// The central registry's queue in the local journal (schema step 3): every record and every
// annotation row the journal takes is queued by a trigger, whatever wrote it (the program, a
// harvest, a clinic's tool), and leaves the queue only when the server has committed it.
#include <array>
#include <cstdint>
#include <optional>
#include <string>

#include "journal/Annotations.h"
#include "journal/JournalRecord.h"

namespace virel {

// An annotation row as the registry takes it: its record named by the record's 14 bytes (the
// identity every room's journal shares), its kind by the room's catalogue id.
struct TPushAnnotation {
    std::int64_t localId = 0;  // the journal's own number of the row
    std::array<std::uint8_t, kRecordSize - 1> raw{};
    std::string savedAt;
    TPatientForm patientForm = TPatientForm::None;
    std::optional<std::string> patient;
    std::optional<int> birthYear;
    std::optional<std::int64_t> kindId;
    std::optional<int> images;
    std::optional<std::string> operatorName;
    std::optional<std::string> note;
};

// One waiting row of the queue: a record or an annotation.
struct TWaitingItem {
    std::int64_t queueId = 0;
    std::optional<TJournalRecord> record;
    std::optional<TPushAnnotation> annotation;
};

}  // namespace virel
