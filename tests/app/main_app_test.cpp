#include "app/main_app.h"
#include "app/main_dialog.h"
#include "support/loaded_libraries.h"
#include "support/window_watch.h"

#include <QLineEdit>
#include <QProcess>
#include <QTest>

#include <gtest/gtest.h>

#include <csignal>

namespace velmora {
namespace {

MainApp& app() { return *static_cast<MainApp*>(QCoreApplication::instance()); }

TEST(MainApp, RunsTheMainDialogOnTheDefaultSceneUntilItIsClosed)
{
    int dialogs = 0;
    const auto closeWith = [&](Qt::Key key) {
        whenModalShows([&dialogs, key](QWidget* modal) {
            auto* dialog = qobject_cast<MainDialog*>(modal);
            ASSERT_NE(dialog, nullptr);
            ++dialogs;
            EXPECT_EQ(dialog->windowTitle(), "Velmora");
            EXPECT_EQ(dialog->formationState().craftCount(), 6);
            EXPECT_FALSE(dialog->windowIcon().pixmap(32, 32).isNull());
            ASSERT_TRUE(QTest::qWaitForWindowExposed(dialog));
            QTest::keyClick(dialog->countEdit(), key);
            EXPECT_FALSE(dialog->isVisible());
        });
    };

    closeWith(Qt::Key_Escape);
    EXPECT_EQ(app().initInstance(), 0);
    EXPECT_EQ(QCoreApplication::organizationName(), "Local AppWizard-Generated Applications");
    EXPECT_FALSE(QApplication::windowIcon().isNull());

    // Each start builds a fresh dialog; Enter ends it as Escape does.
    closeWith(Qt::Key_Return);
    EXPECT_EQ(app().initInstance(), 0);
    EXPECT_EQ(dialogs, 2);
    EXPECT_TRUE(QApplication::topLevelWidgets().isEmpty());
}

// Help, the version and every mistake are answered without a display: no window system is asked for before
// the whole command line has been read.
TEST(MainApp, TheWholeCommandLineIsReadBeforeAnyWindowSystem)
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
        environment.remove(QString::fromLatin1(name));
    const struct {
        QStringList arguments;
        int status;
        QString says;
    } cases[] = {
        {{"--bogus"}, 2, "velmora: Unknown option 'bogus'. (see velmora --help)\n"},
        {{"-display", ":7", "--nope"}, 2, "velmora: Unknown option 'nope'. (see velmora --help)\n"},
        {{"a.json", "b.json"}, 2, "velmora: give at most one scenario file\n"},
        {{"--help-all"}, 0, "Usage: "},
        {{"-platform", "xcb", "--version"}, 0, "velmora 1.0\n"},
    };
    for (const auto& c : cases) {
        QProcess velmora;
        velmora.setProcessEnvironment(environment);
        velmora.start(QStringLiteral(VELMORA_EXE), c.arguments);
        ASSERT_TRUE(velmora.waitForFinished(30000));
        EXPECT_EQ(velmora.exitStatus(), QProcess::NormalExit) << c.arguments.join(' ').toStdString();
        EXPECT_EQ(velmora.exitCode(), c.status) << c.arguments.join(' ').toStdString();
        const QString said = QString::fromUtf8(c.status == 0 ? velmora.readAllStandardOutput()
                                                             : velmora.readAllStandardError());
        EXPECT_TRUE(said.startsWith(c.says)) << said.toStdString();
    }
}

// A kill or Ctrl+C in the terminal ends the desktop program with 128 + N, as it ends the other programs, after
// dropping any recording in progress.
TEST(MainApp, ATerminatingSignalEndsTheDialogWithItsStatus)
{
    QProcess velmora;
    // The status is what is checked; in a sanitized build the leak check at exit, which finds the window
    // system's OpenGL driver's allocations, would put its own in its place.
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("ASAN_OPTIONS"),
                       environment.value(QStringLiteral("ASAN_OPTIONS")) + QStringLiteral(":detect_leaks=0"));
    velmora.setProcessEnvironment(environment);
    velmora.start(QStringLiteral(VELMORA_EXE), QStringList{});
    ASSERT_TRUE(velmora.waitForStarted(30000));
    QTest::qWait(1500);
    ASSERT_EQ(velmora.state(), QProcess::Running) << velmora.readAllStandardError().toStdString();
    ::kill(static_cast<pid_t>(velmora.processId()), SIGTERM);
    ASSERT_TRUE(velmora.waitForFinished(30000));
    EXPECT_EQ(velmora.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(velmora.exitCode(), 128 + SIGTERM);
}

}  // namespace
}  // namespace velmora

int main(int argc, char** argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    if (GTEST_FLAG_GET(list_tests))
        return RUN_ALL_TESTS();
    velmora::MainApp app(argc, argv);
    const int status = RUN_ALL_TESTS();
    velmora::test::keepLoadedLibrariesMapped();
    return status;
}
