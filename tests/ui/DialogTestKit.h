#pragma once

#include "data/uData.h"

#include <QApplication>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QWidget>
#include <functional>
#include <gtest/gtest.h>

// Runs Action on the modal dialog of type T as soon as it is the topmost modal window, for as
// long as the returned watch lives; a test that opens a modal dialog starts one first. Action
// must close the dialog it was given.
template <class T> [[nodiscard]] std::unique_ptr<QTimer> WhenModal(std::function<void(T*)> Action) {
    auto Poll = std::make_unique<QTimer>();
    QTimer* P = Poll.get();
    P->setInterval(10);
    QObject::connect(P, &QTimer::timeout, P, [P, Action] {
        auto* Dialog = qobject_cast<T*>(QApplication::activeModalWidget());
        if (!Dialog)
            return;
        P->stop();
        // As on a desktop, the new modal window is the active one and has the focus.
        Dialog->activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(Dialog));
        Action(Dialog);
    });
    P->start();
    return Poll;
}

// A test whose database, which it hands to the dialogs, is a fresh file in a folder of its own.
class DatabaseTest : public testing::Test {
protected:
    void SetUp() override { Data = std::make_unique<TLogData>(Dir.path() + "/db.sqlite"); }
    void TearDown() override { Data.reset(); }

    QTemporaryDir Dir;
    std::unique_ptr<TLogData> Data;
};

// Every control of the window draws on the dark palette with light text.
inline void ExpectDarkEverywhere(QWidget* Window) {
    QList<QWidget*> Controls = Window->findChildren<QWidget*>();
    Controls.prepend(Window);
    for (QWidget* W : Controls) {
        const QPalette& P = W->palette();
        const QString Name =
            QString::fromLatin1(W->metaObject()->className()) + " " + W->objectName();
        for (const auto Role : {QPalette::Window, QPalette::Base, QPalette::Button})
            EXPECT_LT(P.color(QPalette::Active, Role).lightness(), 100) << Name.toStdString();
        for (const auto Role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
            EXPECT_GT(P.color(QPalette::Active, Role).lightness(), 140) << Name.toStdString();
    }
}
