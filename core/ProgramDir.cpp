#include "core/ProgramDir.h"

namespace virel {

std::string ProgramDir(const std::string& programPath) {
    const auto last = programPath.find_last_of("\\:");
    std::string dir = last == std::string::npos ? std::string() : programPath.substr(0, last + 1);
    if (dir.empty() || dir.back() != '\\') dir += '\\';
    if (dir.size() < 2) return ".\\";
    return dir;
}

}  // namespace virel
