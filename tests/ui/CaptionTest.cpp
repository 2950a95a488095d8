// Window captions as the window system shows them: the program runs on a real X server
// (Xvfb, started by CTest through xvfb-run) and each caption is read back with xprop.

#include "app/AppSetup.h"
#include "base/uConfig.h"
#include "data/uData.h"
#include "soundlib/ScriptedBackend.h"
#include "ui/uAbout.h"
#include "ui/uDevice.h"
#include "ui/uEvents.h"
#include "ui/uLog.h"
#include "ui/uMain.h"
#include "ui/uPresetEdit.h"
#include "ui/uPresets.h"
#include "ui/uSchedule.h"
#include "ui/uSettings.h"

#include <QApplication>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <functional>
#include <gtest/gtest.h>
#include <memory>

namespace {

// _NET_WM_NAME of the window, as the window manager and the task lists read it.
std::string WindowManagerName(const QWidget& Window) {
    QProcess Xprop;
    Xprop.start(QStringLiteral("xprop"), {QStringLiteral("-id"), QString::number(Window.winId()),
                                          QStringLiteral("_NET_WM_NAME")});
    if (!Xprop.waitForFinished(5000))
        return "(xprop did not answer)";
    const QString Out = QString::fromUtf8(Xprop.readAllStandardOutput());
    const auto Match = QRegularExpression(QStringLiteral("= \"(.*)\"")).match(Out);
    return (Match.hasMatch() ? Match.captured(1) : Out.trimmed()).toStdString();
}

TEST(Captions, EveryWindowShowsExactlyItsOwnCaption) {
    QTemporaryDir Dir;
    Config = std::make_unique<TConfig>(Dir.path());
    soundlib::InstallScriptedBackend({});
    auto Main = std::make_unique<TfrmMain>();
    const std::pair<const char*, std::function<std::unique_ptr<QWidget>()>> Windows[] = {
        {"Opname-presets",
         [&] { return std::make_unique<TfrmPresets>(Main->Session().Data(), Main.get()); }},
        {"Weekschema",
         [&] { return std::make_unique<TfrmSchedule>(Main->Session().Data(), Main.get()); }},
        {"Opname-apparaat", [&] { return std::make_unique<TfrmDevice>(Main.get()); }},
        {"Instellingen",
         [&] { return std::make_unique<TfrmSettings>(Main->Session(), Main.get()); }},
        {"Opnames log",
         [&] { return std::make_unique<TfrmLog>(Main->Session().Data(), Main.get()); }},
        {"Storingen",
         [&] { return std::make_unique<TfrmEvents>(Main->Session().Data(), Main.get()); }},
        {"Over Vantor 2026", [&] { return std::make_unique<TfrmAbout>(Main.get()); }},
    };
    Main->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(Main.get()));
    EXPECT_EQ(WindowManagerName(*Main), "Vantor 2026");
    for (const auto& [Caption, Make] : Windows) {
        const std::unique_ptr<QWidget> Window = Make();
        Window->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(Window.get())) << Caption;
        EXPECT_EQ(WindowManagerName(*Window), Caption);
    }
    // The preset editor exists only while it runs modally.
    std::string EditorCaption;
    QTimer::singleShot(0, [&EditorCaption] {
        auto* Editor = qobject_cast<QDialog*>(QApplication::activeModalWidget());
        if (!Editor)
            return;
        if (QTest::qWaitForWindowExposed(Editor))
            EditorCaption = WindowManagerName(*Editor);
        Editor->reject();
    });
    TPreset P;
    TfrmPresetEdit::Edit(Main.get(), P);
    EXPECT_EQ(EditorCaption, "Opname-instellingen");
    Main.reset();
    Config.reset();
}

} // namespace

int main(int Argc, char** Argv) {
    qputenv("QT_QPA_PLATFORM", "xcb");
    QApplication App(Argc, Argv);
    SetUpApplication(App);
    testing::InitGoogleTest(&Argc, Argv);
    return RUN_ALL_TESTS();
}
