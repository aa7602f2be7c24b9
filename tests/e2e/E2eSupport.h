#pragma once
// The whole program in the test process (the same composition as VIREL1_Service.exe), talking
// through Wine's COM1 to the simulated meter that the test fixture started, and what the meter
// saw on the line (its byte log).
#include <windows.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "app/frame/Application.h"
#include "app/Program.h"
#include "tests/support/EscapeKey.h"

#if !defined(VIREL_E2E_METER_LOG) || !defined(VIREL_E2E_METER_CTL) || !defined(VIREL_E2E_WORK)
#error "build with the paths of the meter's log and control files and of a work directory"
#endif

#ifndef VIREL_E2E_PORT_INDEX
#define VIREL_E2E_PORT_INDEX 0  // COM1; negative: the port box is left as restored
#endif

namespace virel::e2e {

std::wstring Widen(const std::string& utf8);
std::string Narrow(const std::wstring& wide);

// One line of the meter's log: bytes it received (RX) or sent (TX).
struct TLineEvent {
    std::int64_t ms = 0;
    std::string direction;
    std::vector<std::uint8_t> bytes;
};

// The simulated meter as the test sees it: its behaviour (control file) and its byte log from
// the moment this object was made.
class TMeter {
public:
    TMeter();
    ~TMeter();  // back to the start options
    TMeter(const TMeter&) = delete;
    TMeter& operator=(const TMeter&) = delete;

    // Replaces the meter's behaviour ("key=value" lines); read before its next command.
    void Set(const std::string& control);
    std::vector<TLineEvent> Events() const;
    // Everything received / sent since this object was made, in order.
    std::vector<std::uint8_t> Received() const;
    std::vector<std::uint8_t> Sent() const;
    // How many times `command` arrived.
    int CountReceived(const std::vector<std::uint8_t>& command) const;
    // The texts of its NOTE lines, in order (e.g. "line speed 9600" before each command).
    std::vector<std::string> Notes() const;

private:
    std::size_t logStart_ = 0;
};

struct TShownBox {
    std::wstring text;
    std::wstring caption;
    UINT flags = 0;
};

// The program's windows and components, made as main.cpp makes them, with the error report
// captured instead of shown and its log file in a fresh work directory.
class TRunningProgram {
public:
    // clearSettings: start with no stored settings (as on a new PC). programDir: the folder
    // of the log file instead of a fresh one (it must exist). journalDir: the dose journal's
    // folder when not beside the log (it must exist).
    explicit TRunningProgram(bool clearSettings = true, const std::wstring& programDir = L"",
                             const std::wstring& journalDir = L"");
    ~TRunningProgram();

    app::TFace& Face() { return program->Face(); }
    void Pump();                    // handles every pending message
    void Click(HWND button);        // a button press, run to its end
    void PumpFor(DWORD milliseconds);
    void SelectItem(HWND combo, int index);
    void SetChecked(HWND checkBox, bool checked);
    std::string FieldText(HWND field) const;
    std::string Status() const;
    std::wstring LogFilePath() const;  // ProgramDir + "VIREL1_Service.txt"
    std::string LogFileBytes() const;

    app::TApplication application;
    std::unique_ptr<app::TProgram> program;
    std::vector<TShownBox> boxes;
    std::wstring workDir;
};

// A real message box of the system, closed with its OK button after `milliseconds` unless the
// operator's keys closed it first (then closedByTimer is false). Its modal loop runs the
// program's messages meanwhile, timer ticks included.
int ShowSystemBoxFor(HWND owner, const std::wstring& text, const std::wstring& caption,
                     UINT flags, DWORD milliseconds, bool& closedByTimer);

std::vector<std::uint8_t> Bytes(std::initializer_list<int> values);
std::string ReadFileBytes(const std::wstring& path);
// Milliseconds since an arbitrary start, for durations.
double NowMs();

}  // namespace virel::e2e
