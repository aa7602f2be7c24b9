// Default locations of the stored values and the screen-size suffix.
#include <gtest/gtest.h>

#include "storage/AppUtils.h"
#include "storage/SectionStore.h"

namespace virel {
namespace {

TEST(DefaultLocations, RegistryKeyFromTheExecutablesBaseName) {
    TApplicationInfo app;
    app.exePath = "C:\\Program Files\\VIREL\\virel1_service.exe";
    EXPECT_EQ(ExeBaseName(app.exePath), "virel1_service");
    EXPECT_EQ(DefaultRegistryKey(app), "Software\\virel1_service");
    app.exePath = "D:prog.v2.EXE";
    EXPECT_EQ(DefaultRegistryKey(app), "Software\\prog.v2");
    app.exePath = "/opt/wine/noext";
    EXPECT_EQ(DefaultRegistryKey(app), "Software\\noext");

    app.title = "ВИРЕЛ1 Сервис";
    app.keyFromTitle = true;
    EXPECT_EQ(DefaultRegistryKey(app), "Software\\ВИРЕЛ1 Сервис");
    app.companyName = "KESTA";
    app.keyWithCompany = true;
    EXPECT_EQ(DefaultRegistryKey(app), "Software\\KESTA\\ВИРЕЛ1 Сервис");
}

TEST(DefaultLocations, IniFileNameWithoutDirectory) {
    TApplicationInfo app;
    app.exePath = "C:\\Program Files\\VIREL\\virel1_service.exe";
    EXPECT_EQ(DefaultIniFileName(app), "virel1_service.INI");
    app.defaultIniName = [] { return std::string("C:\\custom.ini"); };
    EXPECT_EQ(DefaultIniFileName(app), "C:\\custom.ini");
}

TEST(DefaultLocations, SectionsByOwnerKind) {
    TSectionOwner form;
    form.kind = TSectionOwner::Kind::Form;
    form.className = "TFace";
    form.name = "Face";
    EXPECT_EQ(DefaultSection(form), "TFace");

    TSectionOwner control;
    control.kind = TSectionOwner::Kind::Control;
    control.name = "CB_ComPort";
    control.formClassName = "TFace";
    control.parentName = "GroupBox1";
    EXPECT_EQ(DefaultSection(control), "TFaceCB_ComPort");
    control.formClassName.clear();
    EXPECT_EQ(DefaultSection(control), "GroupBox1CB_ComPort");

    TSectionOwner component;
    component.kind = TSectionOwner::Kind::Component;
    component.name = "Timer";
    component.ownerIsForm = true;
    component.ownerClassName = "TFace";
    EXPECT_EQ(DefaultSection(component), "TFace.Timer");
    component.ownerIsForm = false;
    EXPECT_EQ(DefaultSection(component), "Timer");
}

TEST(DefaultLocations, ScreenSizeSuffix) {
    EXPECT_EQ(ScreenSizeSuffix({1024, 768}), "(1024x768)");
    EXPECT_EQ(ScreenSizeSuffix({1280, 1024}), "(1280x1024)");
}

TEST(DefaultLocations, RegistryRootKeys) {
    EXPECT_EQ(RegRootKeyValue(TPlacementRegRoot::prCurrentUser), 0x80000001u);
    EXPECT_EQ(RegRootKeyValue(TPlacementRegRoot::prLocalMachine), 0x80000002u);
    EXPECT_EQ(RegRootKeyValue(TPlacementRegRoot::prCurrentConfig), 0x80000005u);
    EXPECT_EQ(RegRootKeyValue(TPlacementRegRoot::prClassesRoot), 0x80000000u);
    EXPECT_EQ(RegRootKeyValue(TPlacementRegRoot::prUsers), 0x80000003u);
    EXPECT_EQ(RegRootKeyValue(TPlacementRegRoot::prDynData), 0x80000006u);
}

TEST(ErrorReport, GoesToTheInstalledReportOrToStderr) {
    std::string seen;
    SetStorageErrorReport([&](const std::exception& e) { seen = e.what(); });
    ReportStorageError(std::runtime_error("Failed to create key TFace"));
    EXPECT_EQ(seen, "Failed to create key TFace");
    SetStorageErrorReport(nullptr);
    testing::internal::CaptureStderr();
    ReportStorageError(std::runtime_error("lost"));
    EXPECT_NE(testing::internal::GetCapturedStderr().find("lost"), std::string::npos);
}

}  // namespace
}  // namespace virel
