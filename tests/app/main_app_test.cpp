#include "app/main_app.h"
#include "app/main_dialog.h"
#include "support/window_watch.h"

#include <QLineEdit>
#include <QTest>

#include <gtest/gtest.h>

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

}  // namespace
}  // namespace velmora

int main(int argc, char** argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    if (GTEST_FLAG_GET(list_tests))
        return RUN_ALL_TESTS();
    velmora::MainApp app(argc, argv);
    return RUN_ALL_TESTS();
}
