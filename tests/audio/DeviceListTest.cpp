#include "audio/DeviceList.h"
#include "soundlib/ScriptedBackend.h"

#include <gtest/gtest.h>

TEST(DeviceList, ListsEveryDeviceInNumberOrderAndMarksDisabledOnes) {
    soundlib::InstallScriptedBackend(
        {.Devices = {{"Microfoon", true}, {"Lijningang", false}, {"Monitor van uitvoer", true}}});
    TDeviceList List = {{"oud", 7}};
    for (int Call = 0; Call < 2; ++Call) {
        ListRecordDevices(List);
        ASSERT_EQ(List.size(), 3) << "call " << Call;
        EXPECT_EQ(List[0].Text, "Microfoon");
        EXPECT_EQ(List[1].Text, "Lijningang (uitgeschakeld)");
        EXPECT_EQ(List[2].Text, "Monitor van uitvoer");
        for (int I = 0; I < 3; ++I)
            EXPECT_EQ(List[I].Value, I);
    }
    soundlib::SetScriptedServerUp(false);
    ListRecordDevices(List);
    EXPECT_TRUE(List.isEmpty()) << "no sound server: no devices, nothing reported";
}
