#pragma once
// The ini-file section store (the system's private profile functions). A file name without a
// directory goes where those functions put it (the Windows directory).
#include <string>

#include "storage/SectionStore.h"

namespace virel {

class TIniStore : public TSectionStore {
public:
    explicit TIniStore(std::string fileName) : fileName_(std::move(fileName)) {}

    std::string ReadString(const std::string& section, const std::string& name,
                           const std::string& def) override;
    // Texts in matching quotes are written in a further pair of double quotes (IniQuoted).
    void WriteString(const std::string& section, const std::string& name,
                     const std::string& value) override;
    void EraseSection(const std::string& section) override;

    const std::string& FileName() const { return fileName_; }

private:
    std::string fileName_;
};

}  // namespace virel
