// The main of the Qt test programs: the offscreen platform, a settings folder
// of their own (the real user's settings are never touched), a locale that
// does not depend on the machine, then the tests.

#include <QApplication>
#include <QDir>
#include <QLocale>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include "platform/qt/winapp.h"

int main(int argc, char** argv) {
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QTemporaryDir home;
    if (!home.isValid()) return 2;
    // Settings, runtime sockets and caches all go under the temporary folder.
    qputenv("XDG_CONFIG_HOME", QDir(home.path()).filePath("config").toLocal8Bit());
    qputenv("XDG_RUNTIME_DIR", home.path().toLocal8Bit());
    qputenv("XDG_CACHE_HOME", QDir(home.path()).filePath("cache").toLocal8Bit());
    QStandardPaths::setTestModeEnabled(true);
    for (auto format : {QSettings::NativeFormat, QSettings::IniFormat}) {
        QSettings::setPath(format, QSettings::UserScope, QDir(home.path()).filePath("settings"));
        QSettings::setPath(format, QSettings::SystemScope, QDir(home.path()).filePath("system-settings"));
    }
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    // Each test program listens for the shell under a name of its own.
    CWinAppEx::SetShellOpenNameOverride(QStringLiteral("korvane-test-%1").arg(QCoreApplication::applicationPid()));

    QApplication app(argc, argv);
    // The tests close frames without ending the program.
    QApplication::setQuitOnLastWindowClosed(false);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
