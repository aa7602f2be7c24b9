#include "core/LogFile.h"

#include "core/TextCodec.h"

namespace virel {

bool TLogFile::AppendLine(const std::string& line) {
    std::string encoded = Utf8ToCp1251(line) + "\r\n";
    std::string bytes;
    for (const auto& kept : kept_) bytes += kept;
    bytes += encoded;
    AppendResult result;
    try {
        result = files_.Append(path_, bytes);
    } catch (...) {
        Keep(std::move(encoded));
        throw;
    }
    if (result == AppendResult::NotWritten) {
        Keep(std::move(encoded));
        return false;
    }
    kept_.clear();
    return true;
}

void TLogFile::Keep(std::string bytes) {
    kept_.push_back(std::move(bytes));
    while (kept_.size() > kMaxKeptLines) kept_.pop_front();
}

}  // namespace virel
