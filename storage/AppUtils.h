#pragma once
// Application-level rules of the settings storage: where a window's values live by default
// (registry key, ini file, section), the placement routines that turn a window's placement into
// stored values and back, and the error report for errors the storage's hooks catch.
#include <exception>
#include <functional>
#include <string>

#include "storage/Form.h"
#include "storage/SectionStore.h"

namespace virel {

// What the default locations are made from. The Windows side fills `exePath` from the running
// module at start-up; tests set it directly.
struct TApplicationInfo {
    std::string exePath;          // full path of the running program file
    std::string title;            // the application title
    std::string companyName;      // put in front of the key when keyWithCompany
    bool keyFromTitle = false;    // the title in place of the file name
    bool keyWithCompany = false;  // "<company>\" in front
    // Replaces the default ini file name when set.
    std::function<std::string()> defaultIniName;
};

TApplicationInfo& ApplicationInfo();

// The file name without directory and extension ("C:\x\virel1_service.exe" -> "virel1_service").
std::string ExeBaseName(const std::string& exePath);
// "Software\" + the executable's base name (or the variants of TApplicationInfo).
std::string DefaultRegistryKey(const TApplicationInfo& app = ApplicationInfo());
// The executable's file name with its extension replaced by ".INI", without directory.
std::string DefaultIniFileName(const TApplicationInfo& app = ApplicationInfo());

// What the default section depends on: the section owner's kind and names.
struct TSectionOwner {
    enum class Kind { Form, Control, Component } kind = Kind::Form;
    std::string name;
    std::string className;
    std::string formClassName;   // Control: the class of the form containing it ("" when none)
    std::string parentName;      // Control without a form: its parent's name
    bool ownerIsForm = false;    // Component: owned by a form
    std::string ownerClassName;  // Component: that form's class name
};
// A form: its class name ("TFace"); a control: its form's class name (or else its parent's
// name) directly followed by its name; a component: "<form class>.<name>", or its bare name
// when its owner is not a form.
std::string DefaultSection(const TSectionOwner& owner);

// "(<width>x<height>)" of the primary screen, the suffix of per-resolution position values.
std::string ScreenSizeSuffix(TSize screen);

// One placement value through any section store. A value of a type that holds no text counts
// as absent (`def`), so one damaged value neither stops the restore nor, with it, the next save
// that writes it anew.
std::string ReadPlacementString(TSectionStore& store, const std::string& section,
                                const std::string& name, const std::string& def);
std::int32_t ReadPlacementInteger(TSectionStore& store, const std::string& section,
                                  const std::string& name, std::int32_t def);

// Placement values of a window, read and written through any section store.
void ReadPlacement(IForm& form, TSectionStore& store, const std::string& section, bool loadState,
                   bool loadPosition);
void WritePlacement(IForm& form, TSectionStore& store, const std::string& section);

// The error report for errors caught by the storage's window hooks (the application's
// standard exception report). Default: the message on stderr.
using TErrorReport = std::function<void(const std::exception& error)>;
void SetStorageErrorReport(TErrorReport report);
void ReportStorageError(const std::exception& error);

}  // namespace virel
