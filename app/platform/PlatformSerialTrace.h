#pragma once
// The exchange trace on Windows: asked for with "/trace" or VIREL1_TRACE=1, written as UTF-8 text
// to a file that the operator can send to service.
#include <memory>
#include <string>

#include "serial/CPDrv.h"

namespace virel::app {

// Whether this process was started with the trace switch or the trace variable.
bool SerialTraceRequestedAtStart();

// The real backend wrapped by the trace, which appends to the file at `path` (UTF-8; created
// with a byte-order mark so that Notepad reads it). When the file cannot be opened the
// backend is returned as it is: the program works, untraced.
std::unique_ptr<ISerialBackend> CreateTracedSerialBackend(std::unique_ptr<ISerialBackend> backend,
                                                          const std::string& path);

}  // namespace virel::app
