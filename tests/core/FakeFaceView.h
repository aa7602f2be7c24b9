#pragma once
// The main window as the device operations see it, recording what they do to it, with the
// choices the real window hands to each action (FakeFace in OpsFakes.h gathers them).
#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "core/meter/FaceView.h"

namespace virel::fakes {

// The four read-only fields that hold the last record shown.
enum class Field { DevNumber, MeasureNumber, Time, Dose };

// Builds a record from its first 14 bytes and appends the right checksum.
inline std::vector<std::uint8_t> Record(std::vector<std::uint8_t> bytes14) {
    unsigned sum = 0;
    for (auto b : bytes14) sum += b;
    bytes14.push_back(static_cast<std::uint8_t>(sum & 0xFF));
    return bytes14;
}

inline std::string Bytes(const std::vector<std::uint8_t>& v) {
    return std::string(v.begin(), v.end());
}

class FakeFaceView : public IFaceView {
public:
    void SetStatusText(const std::string& text) override {
        status = text;
        statusHistory.push_back(text);
    }
    std::string StatusText() const { return status; }
    void ShowRecord(const RecordTexts& texts) override {
        fields[Field::DevNumber] = texts.devNumber;
        fields[Field::MeasureNumber] = texts.measureNumber;
        fields[Field::Time] = texts.time;
        fields[Field::Dose] = texts.dose;
        fieldWrites += 4;
    }
    std::string FieldText(Field field) const {
        const auto it = fields.find(field);
        return it == fields.end() ? std::string() : it->second;
    }
    std::string ArchiveNumberText() const override { return archiveNumber; }
    void SetArchiveNumberText(const std::string& text) override {
        archiveNumber = text;
        events.push_back("num " + text);
    }
    // What the real window does with its speed box when the text names no known speed.
    void SetSpeedText(const std::string& text) override {
        speedText = text;
        events.push_back("speed " + text);
    }
    void SetMeterActionsEnabled(bool enabled) override {
        meterActionsEnabled = enabled;
        events.push_back(enabled ? "actions on" : "actions off");
    }
    void GaugeSetProgress(int progress) override {
        gaugeProgress = progress;
        events.push_back("progress " + std::to_string(progress));
    }
    void GaugeSetMaxValue(int maxValue) override {
        gaugeMax = maxValue;
        events.push_back("max " + std::to_string(maxValue));
    }
    void ShowProgress() override {
        progressShown = true;
        events.push_back("show");
    }
    void CloseProgress() override {
        progressShown = false;
        events.push_back("close");
    }
    void ProcessMessages() override {
        ++messagePasses;
        events.push_back("messages");
        if (onProcessMessages) onProcessMessages();
    }
    void BringToForeground() override { events.push_back("foreground"); }
    void ReportError(const std::string& message) override {
        errors.push_back(message);
        if (onReportError) onReportError();  // what runs while the box is open
    }

    std::string status;
    std::vector<std::string> statusHistory;
    std::map<Field, std::string> fields;
    int fieldWrites = 0;
    // The window's choices: CB_PrintOnDevice, CB_ReadToFile, RxSpE_AutoTime, CB_Spead, CB_ComPort.
    bool printOnDevice = false;
    bool readToFile = false;
    std::string archiveNumber = "0";
    std::int64_t autoTime = 60;
    std::string speedText = "4800";
    std::string portText = "COM1";
    int gaugeProgress = 0;
    int gaugeMax = 288;
    bool progressShown = false;
    int messagePasses = 0;
    bool meterActionsEnabled = true;
    std::vector<std::string> events;
    std::function<void()> onProcessMessages;
    std::vector<std::string> errors;  // error boxes, in order
    std::function<void()> onReportError;
};

}  // namespace virel::fakes
