#include "core/meter/LogFile.h"

#include "core/meter/DeviceTexts.h"
#include "core/TextCodec.h"

namespace virel {

std::string LineEndBefore(const std::string& tail) {
    if (tail.empty() || tail.ends_with("\r\n")) return {};
    if (tail.back() == '\r') return "\n";
    return "\r\n";
}

std::string KeptLinesMessage(const KeptLinesAtExit& result) {
    std::string message;
    switch (result.outcome) {
        case KeptLinesAtExit::Outcome::Saved:
            message = texts::kExitLinesSavedBefore + std::to_string(result.lines) +
                      texts::kExitLinesSavedAfter + result.savedTo;
            break;
        case KeptLinesAtExit::Outcome::Lost:
            return texts::kExitLinesLost + std::to_string(result.lines + result.dropped);
        case KeptLinesAtExit::Outcome::None:
        case KeptLinesAtExit::Outcome::Written:
            break;
    }
    if (result.dropped > 0) {
        if (!message.empty()) message += "\n";
        message += texts::kExitLinesDropped + std::to_string(result.dropped);
    }
    return message;
}

AppendResult TLogFile::AppendKept(const std::string& path) {
    return files_.Append(path, LineEndBefore(files_.Tail(path, 2)) + kept_);
}

bool TLogFile::AppendLine(const std::string& line) {
    const std::size_t before = kept_.size();
    kept_ += Utf8ToCp1251(line);
    kept_ += "\r\n";
    keptLengths_.push_back(kept_.size() - before);
    AppendResult result;
    try {
        result = AppendKept(path_);
    } catch (...) {
        DropOldestBeyondLimit();
        throw;
    }
    if (result == AppendResult::NotWritten) {
        DropOldestBeyondLimit();
        return false;
    }
    kept_.clear();
    keptLengths_.clear();
    return true;
}

KeptLinesAtExit TLogFile::SaveKeptLines(const std::string& otherPath) {
    KeptLinesAtExit result;
    result.lines = keptLengths_.size();
    result.dropped = dropped_;
    if (result.lines == 0) return result;
    const auto tryAppend = [&](const std::string& path) {
        try {
            return AppendKept(path) != AppendResult::NotWritten;
        } catch (...) {
            return false;  // a write error: the other file may still take them
        }
    };
    if (tryAppend(path_)) {
        result.outcome = KeptLinesAtExit::Outcome::Written;
    } else if (!otherPath.empty() && tryAppend(otherPath)) {
        result.outcome = KeptLinesAtExit::Outcome::Saved;
        result.savedTo = otherPath;
    } else {
        result.outcome = KeptLinesAtExit::Outcome::Lost;
    }
    kept_.clear();
    keptLengths_.clear();
    return result;
}

void TLogFile::DropOldestBeyondLimit() {
    std::size_t drop = 0;
    while (keptLengths_.size() > kMaxKeptLines) {
        drop += keptLengths_.front();
        keptLengths_.pop_front();
        ++dropped_;
    }
    if (drop > 0) kept_.erase(0, drop);
}

}  // namespace virel
