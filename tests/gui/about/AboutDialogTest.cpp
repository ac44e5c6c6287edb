#include "gui/about/AboutDialog.h"
#include "core/support/Fakes.h"
#include "gui/ui/TestApp.h"

#include <QLabel>
#include <QPushButton>

#include <gtest/gtest.h>

using namespace plait;

TEST(AboutDialog, NamesTheProgramAndItsVersion) {
    test::testApp();
    test::FakeMessageBox messages;
    gui::AboutDialog about(messages);
    EXPECT_EQ(about.windowTitle(), "About PDF Plait Application");
    EXPECT_EQ(about.findChild<QLabel*>("lblTitle")->text(), "PDF Plait Application");
    EXPECT_EQ(about.findChild<QLabel*>("lblVersion")->text(), "Version 3.0.0");
    EXPECT_TRUE(about.findChild<QPushButton*>("cmdOK")->isDefault());
}

TEST(AboutDialog, SystemInfoStartsTheDesktopsToolOrSaysItIsUnavailable) {
    test::testApp();
    test::FakeMessageBox messages;
    gui::AboutDialog about(messages);
    QStringList started;
    about.startProgram = [&](const QString& program, const QStringList& args) {
        started << program + " " + args.join(' ');
        return true;
    };
    about.findProgram = [](const QString& name) {
        return name == "gnome-control-center" ? QStringLiteral("/usr/bin/gnome-control-center") : QString();
    };
    about.findChild<QPushButton*>("cmdSysInfo")->click();
    EXPECT_EQ(started, QStringList{"/usr/bin/gnome-control-center info-overview"});
    EXPECT_TRUE(messages.shown.empty());

    about.findProgram = [](const QString&) { return QString(); };
    about.findChild<QPushButton*>("cmdSysInfo")->click();
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.shown[0].text, "System Information Is Unavailable At This Time");
    EXPECT_EQ(messages.shown[0].caption, "PDF Plait Application");

    // A tool that is there but will not start ends the same way.
    about.findProgram = [](const QString& name) { return "/usr/bin/" + name; };
    about.startProgram = [](const QString&, const QStringList&) { return false; };
    about.findChild<QPushButton*>("cmdSysInfo")->click();
    EXPECT_EQ(messages.shown.size(), 2u);
}
