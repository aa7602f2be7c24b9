#pragma once
// The exchange trace on Windows: asked for with "/trace" or VIREL1_TRACE=1, written as UTF-8 text
// to a file that the operator can send to service.
#include <memory>
#include <string>

#include "serial/CPDrv.h"
#include "serial/SerialTrace.h"

namespace virel::app {

// Whether this process was started with the trace switch or the trace variable.
bool SerialTraceRequestedAtStart();

// The file the trace is to append to, chosen at start so that an operator who asked for the
// trace learns at once when it cannot be written.
struct TSerialTraceFile {
    std::string path;     // empty when no file can be written
    std::string message;  // then: which files were tried and why they failed (UTF-8)
};

// `besideLog` when it can be opened for appending (it is created if missing), else the file of
// the same name in the user's application data folder, where the log's held lines go too.
TSerialTraceFile ChooseSerialTraceFile(const std::string& besideLog);

// The real backend wrapped by the trace, which appends to the file at `path` (UTF-8; created
// with a byte-order mark so that Notepad reads it), and the trace itself for what happens
// before the line (a port text refused). When the file cannot be opened the backend is
// returned as it is, with no trace: the program works, untraced.
struct TTracedBackend {
    std::unique_ptr<ISerialBackend> backend;
    TSerialTraceBackend* trace = nullptr;  // owned by `backend`
};
TTracedBackend CreateTracedSerialBackend(std::unique_ptr<ISerialBackend> backend,
                                         const std::string& path);

}  // namespace virel::app
