// VIREL1_Service.exe: start-up and shutdown of the program.
#include <windows.h>
// after windows.h
#include <commctrl.h>

#include "app/HarvestRun.h"
#include "app/frame/Application.h"
#include "app/platform/PlatformSerialTrace.h"
#include "app/Program.h"
#include "app/PushRun.h"
#include "app/ReportCommand.h"
#include "app/platform/ProgramFile.h"
#include "app/platform/RegionalSettings.h"
#include "app/windows/Texts.h"
#include "core/DecimalSeparator.h"
#include "core/meter/HarvestCommand.h"
#include "core/ProgramDir.h"
#include "core/Utf16.h"
#include "journal/JournalTexts.h"
#include "serial/SerialTrace.h"

namespace {

int RunProgram() {
    using namespace virel::app;
    // 1. The user's regional settings, then 2. "." as the decimal separator in any case.
    const virel::RegionalFormats formats = ReadRegionalFormats();
    virel::UseFullStopDecimalSeparator();
    // 3. The program's directory, where the log file is written.
    const std::string programDir = virel::ProgramDir(ProgramFilePath());
    // "/report" and "/catalogue" do their work on the journal beside the log, without a window.
    if (const auto exitCode = RunReportCommandLine(programDir + virel::kJournalFileName))
        return *exitCode;
    // "/push": the journal's waiting rows to the central registry, without a window.
    if (const auto exitCode = RunPushCommandLine(programDir + virel::kJournalFileName))
        return *exitCode;
    // 4. COM for the spreadsheet automation and the save dialog comes with the program (below),
    // on this (the user-interface) thread, when one of them is first used.
    // 5. The title: the main window's caption and the caption of every error box.
    TApplication application;
    application.SetTitle(kAppTitle);

    INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_WIN95_CLASSES | ICC_BAR_CLASSES};
    InitCommonControlsEx(&controls);

    // 6.-8. The three windows; the first becomes the main window. The main window brings its
    // components: the serial port, the device operations and the settings storage.
    // For service: "/trace" or VIREL1_TRACE=1 records every exchange beside the log file, or in
    // the user's own folder when the program's is read-only; told at once when neither will do.
    std::string tracePath;
    if (SerialTraceRequestedAtStart()) {
        const TSerialTraceFile trace = ChooseSerialTraceFile(programDir + virel::kTraceFileName);
        tracePath = trace.path;
        if (tracePath.empty()) {
            application.ShowMessageBox(virel::Widen(trace.message), MB_OK | MB_ICONWARNING);
        }
    }
    TProgram program(application, formats, programDir, tracePath);
    if (!program.Create()) return 1;

    // 9. Show the main window and run until it is closed.
    program.Show();
    application.Run();
    program.SaveUnwrittenLines();

    // 10. The program's destructor destroys the windows in the reverse order of their
    // creation; COM, if it was made, goes last.
    return 0;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    // "/harvest": the archive into the journal without a window, for the Task Scheduler. It
    // never shows a box: its result is its line and its exit code.
    try {
        const virel::THarvestCommand harvest =
            virel::ParseHarvestCommand(virel::app::CommandLineArguments());
        if (harvest.requested) {
            return virel::app::RunHarvestCommand(
                harvest, virel::ProgramDir(virel::app::ProgramFilePath()));
        }
    } catch (...) {
        return static_cast<int>(virel::THarvestExit::NothingHarvested);
    }
    try {
        return RunProgram();
    } catch (const std::exception& e) {
        // Only start-up itself can get here: every message handler reports its own errors.
        MessageBoxW(nullptr, virel::Widen(e.what()).c_str(), virel::app::kAppTitle,
                    MB_OK | MB_ICONSTOP);
        return 1;
    } catch (...) {
        return 1;
    }
}
