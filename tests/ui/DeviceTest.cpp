#include "base/uConfig.h"
#include "soundlib/ScriptedBackend.h"
#include "ui/uDevice.h"

#include <QComboBox>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

namespace {

class DeviceTest : public testing::Test {
protected:
    QTemporaryDir Dir;

    void SetUp() override { Config = std::make_unique<TConfig>(Dir.path()); }
    void TearDown() override { Config.reset(); }

    static void Devices(std::vector<soundlib::TScriptedDevice> List) {
        soundlib::TScript Script;
        Script.Devices = std::move(List);
        soundlib::InstallScriptedBackend(std::move(Script));
    }
};

} // namespace

TEST_F(DeviceTest, ListsEveryDeviceAndPreselectsTheStoredOneOrElseTheFirst) {
    Devices({{"Microfoon", true}, {"Lijn-in", false}, {"Monitor", true}});
    struct Case {
        int32_t Stored;
        int32_t Selected;
    };
    for (const Case C : {Case{-1, 0}, Case{1, 1}, Case{2, 2}, Case{3, 0}, Case{7, 0}}) {
        Config->SetRecordDevice(C.Stored);
        TfrmDevice Dialog;
        auto* Combo = Dialog.findChild<QComboBox*>("cboDevice");
        ASSERT_EQ(Combo->count(), 3);
        EXPECT_EQ(Combo->itemText(0), "Microfoon");
        EXPECT_EQ(Combo->itemText(1), "Lijn-in (uitgeschakeld)");
        EXPECT_EQ(Combo->itemData(2).toInt(), 2);
        EXPECT_EQ(Dialog.SelectedDevice(), C.Selected) << "stored " << C.Stored;
    }
}

TEST_F(DeviceTest, WithoutDevicesNothingIsSelected) {
    Devices({});
    TfrmDevice Dialog;
    EXPECT_EQ(Dialog.findChild<QComboBox*>("cboDevice")->currentIndex(), -1);
    EXPECT_EQ(Dialog.SelectedDevice(), -1);
}

TEST_F(DeviceTest, TheKeyboardChoosesADeviceAndConfirms) {
    Devices({{"Microfoon", true}, {"Lijn-in", false}, {"Monitor", true}});
    TfrmDevice Dialog;
    QTimer::singleShot(0, &Dialog, [&Dialog] {
        QWidget* Combo = Dialog.findChild<QComboBox*>("cboDevice");
        QTest::keyClick(Combo, Qt::Key_Down);
        QTest::keyClick(Combo, Qt::Key_Down);
        QTest::keyClick(&Dialog, Qt::Key_Return);
    });
    QTimer::singleShot(2000, &Dialog, [&Dialog] { Dialog.done(99); });
    EXPECT_EQ(Dialog.exec(), QDialog::Accepted);
    EXPECT_EQ(Dialog.SelectedDevice(), 2);
}
