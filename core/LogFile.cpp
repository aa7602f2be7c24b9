#include "core/LogFile.h"

#include "core/TextCodec.h"

namespace virel {

bool TLogFile::AppendLine(const std::string& line) {
    const std::size_t before = kept_.size();
    kept_ += Utf8ToCp1251(line);
    kept_ += "\r\n";
    keptLengths_.push_back(kept_.size() - before);
    AppendResult result;
    try {
        result = files_.Append(path_, kept_);
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

void TLogFile::DropOldestBeyondLimit() {
    std::size_t drop = 0;
    while (keptLengths_.size() > kMaxKeptLines) {
        drop += keptLengths_.front();
        keptLengths_.pop_front();
    }
    if (drop > 0) kept_.erase(0, drop);
}

}  // namespace virel
