#pragma once
// The central registry's queue in the local journal (schema step 3): every record and every
// annotation row the journal takes is queued by a trigger, whatever wrote it (the program, a
// harvest, a clinic's tool), and leaves the queue only when the server has committed it. Since
// step 4 alerts too, when raised and again when acknowledged.
#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "journal/Alerts.h"
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

// An alert as the registry takes it, in its state now (raised, or acknowledged too): its record
// named by the record's 14 bytes, its kind by the room's catalogue id.
struct TPushAlert {
    std::int64_t localId = 0;  // the journal's own number of the row
    std::array<std::uint8_t, kRecordSize - 1> raw{};
    TAlertLevel level = TAlertLevel::Record;
    double levelValue = 0;
    double value = 0;
    std::optional<std::int64_t> kindId;
    std::string raisedAt;
    std::optional<std::string> acknowledgedAt;
    std::optional<std::string> acknowledgedBy;
    std::optional<std::string> note;
};

// One waiting row of the queue: a record, an annotation or an alert.
struct TWaitingItem {
    std::int64_t queueId = 0;
    std::optional<TJournalRecord> record;
    std::optional<TPushAnnotation> annotation;
    std::optional<TPushAlert> alert;
};

class TJournal;

// The queue on the journal's connection. Reads throw EJournal; so do the writes, also when the
// journal is open read only.
class TPushQueue {
public:
    explicit TPushQueue(TJournal& journal) : journal_(journal) {}

    // Rows not yet on the server, those refused (a text the server cannot take) not counted.
    std::size_t Waiting();
    // Refused rows: kept in the queue with their reason, never sent again.
    std::size_t Refused();
    // The oldest waiting rows, at most `count`, oldest first. Queue entries whose row is gone
    // (deleted by a tool) are removed on the way.
    std::vector<TWaitingItem> WaitingRows(std::size_t count);
    // Takes the rows the server committed off the queue, in one transaction.
    void Pushed(const std::vector<std::int64_t>& queueIds);
    // Marks a row the server can never take, with the reason.
    void Refuse(std::int64_t queueId, const std::string& reason);
    // The catalogue of kinds, which goes to the server with the rows that name them.
    std::vector<TExamKind> Catalogue();

private:
    std::size_t Count(const char* sql);

    TJournal& journal_;
};

// Told when rows joined the queue on this connection: a capture or a batch that wrote rows, an
// annotation saved. The program's pusher to the registry wakes to send them.
class IQueueWaker {
public:
    virtual ~IQueueWaker() = default;
    virtual void Wake() = 0;
};

// Nobody to tell: a process that does not push (the harvest without a window, a benchmark).
class TNoQueueWaker final : public IQueueWaker {
public:
    void Wake() override {}
};

}  // namespace virel
