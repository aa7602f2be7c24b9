// Every exit code of every command without a window has its row, by number, in that command's
// table of the operator's guide: a scheduled task's history shows the number only. The codes
// are read from the enum's own declaration, so a code added there and not to the guide fails
// here; the codes known by name below check that reading.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <map>
#include <regex>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "core/meter/HarvestCommand.h"
#include "registry/PushCommand.h"
#include "reports/ReportCommandLine.h"

#if !defined(VIREL_GUIDE_PATH) || !defined(VIREL_SOURCE_ROOT)
#error "build with the paths of the operator's guide and of the sources"
#endif

namespace virel {
namespace {

std::string FileText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

std::string Trimmed(const std::string& text) {
    const auto first = text.find_first_not_of(" \t\r");
    if (first == std::string::npos) return {};
    return text.substr(first, text.find_last_not_of(" \t\r") - first + 1);
}

// The enum's codes by name, as declared: a code without "= N" is the one before it plus one.
std::map<std::string, int> DeclaredCodes(const std::string& header, const std::string& name) {
    const std::string source = FileText(std::string(VIREL_SOURCE_ROOT "/") + header);
    std::smatch found;
    if (!std::regex_search(source, found,
                           std::regex("enum\\s+(class\\s+)?" + name + "\\b[^{;]*\\{")))
        return {};
    const std::size_t open = static_cast<std::size_t>(found.position(0) + found.length(0));
    std::string body = source.substr(open, source.find('}', open) - open);
    body = std::regex_replace(body, std::regex("//[^\n]*"), "");
    std::map<std::string, int> codes;
    int next = 0;
    std::istringstream entries(body);
    for (std::string entry; std::getline(entries, entry, ',');) {
        entry = Trimmed(std::regex_replace(entry, std::regex("\\s+"), " "));
        if (entry.empty()) continue;
        const std::size_t equals = entry.find('=');
        if (equals != std::string::npos) next = std::stoi(entry.substr(equals + 1));
        codes[Trimmed(entry.substr(0, equals))] = next++;
    }
    return codes;
}

// The rows of the first table headed "Код" after the guide's line holding `usage`: the first
// cell's number and the rest of the row.
std::multimap<int, std::string> GuideRows(const std::string& usage) {
    std::istringstream guide(FileText(VIREL_GUIDE_PATH));
    std::multimap<int, std::string> rows;
    bool afterUsage = false, inTable = false;
    for (std::string line; std::getline(guide, line);) {
        if (!afterUsage) {
            afterUsage = line.find(usage) != std::string::npos;
            continue;
        }
        const bool tableLine = line.starts_with("|");
        if (!inTable) {
            inTable = tableLine && Trimmed(line.substr(1, line.find('|', 1) - 1)) == "Код";
            continue;
        }
        if (!tableLine) break;
        const std::size_t end = line.find('|', 1);
        const std::string first = Trimmed(line.substr(1, end - 1));
        if (first.find_first_not_of("-: ") == std::string::npos) continue;  // under the header
        std::string meaning = Trimmed(line.substr(end + 1));
        if (meaning.ends_with('|')) meaning = Trimmed(meaning.substr(0, meaning.size() - 1));
        const bool number = !first.empty() && std::all_of(first.begin(), first.end(), [](char d) {
            return d >= '0' && d <= '9';
        });
        rows.emplace(number ? std::stoi(first) : -1, meaning);
    }
    return rows;
}

struct TCommandCodes {
    const char* command;
    const char* usage;   // as the guide shows the command written out; its table follows
    const char* header;  // where the enum is declared
    const char* name;
    std::vector<std::pair<std::string, int>> known;  // codes known here by name
};

std::ostream& operator<<(std::ostream& out, const TCommandCodes& c) {
    return out << c.command;
}

class GuideExitCodes : public ::testing::TestWithParam<TCommandCodes> {};

TEST_P(GuideExitCodes, EveryCodeOfTheCommandHasItsRowAndNoRowNamesAnotherCode) {
    const TCommandCodes& c = GetParam();
    const std::map<std::string, int> declared = DeclaredCodes(c.header, c.name);
    for (const auto& [name, code] : c.known) {
        const auto at = declared.find(name);
        ASSERT_NE(at, declared.end()) << c.name << "::" << name << " not read from " << c.header;
        EXPECT_EQ(at->second, code) << c.name << "::" << name;
    }
    const std::multimap<int, std::string> rows = GuideRows(c.usage);
    ASSERT_FALSE(rows.empty()) << "no table headed «Код» after «" << c.usage << "»";
    std::map<int, std::string> codes;
    for (const auto& [name, code] : declared) codes[code] = name;
    for (const auto& [code, name] : codes) {
        EXPECT_EQ(rows.count(code), 1u) << c.command << ": exit code " << code << " (" << name
                                        << ") needs one row in the guide";
    }
    for (const auto& [code, meaning] : rows) {
        EXPECT_EQ(codes.count(code), 1u) << c.command << ": the guide's row «" << meaning
                                         << "» names no exit code of the program";
        EXPECT_FALSE(Trimmed(meaning).empty()) << c.command << ": code " << code << " says nothing";
    }
}

INSTANTIATE_TEST_SUITE_P(
    Commands, GuideExitCodes,
    ::testing::Values(TCommandCodes{"/harvest",
                                    "VIREL1_Service.exe /harvest [/port COMn]",
                                    "core/meter/HarvestCommand.h",
                                    "THarvestExit",
                                    {{"Done", int(THarvestExit::Done)},
                                     {"NothingHarvested", int(THarvestExit::NothingHarvested)},
                                     {"JournalUnwritable", int(THarvestExit::JournalUnwritable)},
                                     {"MayHaveOverwritten", int(THarvestExit::MayHaveOverwritten)},
                                     {"BadArguments", int(THarvestExit::BadArguments)}}},
                      TCommandCodes{"/push",
                                    "VIREL1_Service.exe /push [/connection",
                                    "registry/PushCommand.h",
                                    "TPushExit",
                                    {{"Done", int(TPushExit::Done)},
                                     {"Unreachable", int(TPushExit::Unreachable)},
                                     {"Refused", int(TPushExit::Refused)},
                                     {"Failed", int(TPushExit::Failed)},
                                     {"Journal", int(TPushExit::Journal)},
                                     {"BadArguments", int(TPushExit::BadArguments)},
                                     {"NotConfigured", int(TPushExit::NotConfigured)}}},
                      // /catalogue shares the report's codes and its table.
                      TCommandCodes{"/report",
                                    "VIREL1_Service.exe /report /from ГГГГ-ММ-ДД /to ГГГГ-ММ-ДД",
                                    "reports/ReportCommandLine.h",
                                    "TReportExit",
                                    {{"kExitDone", kExitDone},
                                     {"kExitCommandLine", kExitCommandLine},
                                     {"kExitJournal", kExitJournal},
                                     {"kExitFile", kExitFile},
                                     {"kExitCatalogue", kExitCatalogue},
                                     {"kExitNotConfigured", kExitNotConfigured}}}),
    [](const ::testing::TestParamInfo<TCommandCodes>& info) {
        return std::string(info.param.command + 1);
    });

}  // namespace
}  // namespace virel
