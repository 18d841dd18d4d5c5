#include "app/main_dialog.h"
#include "support/panels_drawable.h"
#include "support/unwritable_directory.h"
#include "support/window_watch.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QImageReader>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <functional>

namespace velmora {
namespace {

QImage rgb(const QImage& image) { return image.convertToFormat(QImage::Format_RGB888); }

QByteArray formatOf(const QString& path)
{
    QImageReader reader(path);
    reader.setDecideFormatFromContent(true);
    return reader.format();
}

// The real dialog with distinct pictures in its two views. Its file dialog is replaced only where a test
// scripts the answer.
class MainDialogCapture : public ::testing::Test {
protected:
    void SetUp() override
    {
        dialog.setMessageSink([this](const QString& text) { messages.push_back(text); });
        dialog.leftGLView().sceneList.push_back(&leftPanels);
        dialog.rightGLView().sceneList.push_back(&rightPanels);
        dialog.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
        QTRY_VERIFY(dialog.leftGLView().isExposed() && dialog.rightGLView().isExposed());
        dialog.leftGLView().paint();
    }

    // Every following capture is saved as what the user "types" into the file dialog.
    void scriptAnswer(const QString& answer)
    {
        dialog.setSaveAsPrompt([this, answer] {
            ++prompts;
            if (whileAsking)
                whileAsking();
            return answer;
        });
    }

    void click(int id) { QTest::mouseClick(dialog.control(id), Qt::LeftButton); }

    void captureAs(int button, const QString& answer)
    {
        scriptAnswer(answer);
        click(button);
    }

    QString path(const QString& name) const { return dir.filePath(name); }
    QStringList files() const { return QDir(dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot); }
    QSize pixelSize(const GLView& view) const { return view.size() * view.devicePixelRatio(); }

    PanelsDrawable leftPanels{QColor(200, 30, 30), QColor(20, 40, 220), QColor(40, 210, 60)};
    PanelsDrawable rightPanels{QColor(250, 220, 0), QColor(0, 200, 200), QColor(150, 60, 190)};
    FormationDrawables drawables;
    MainDialog dialog{drawables};
    QTemporaryDir dir;
    QStringList messages;
    int prompts = 0;
    std::function<void()> whileAsking;
};

TEST_F(MainDialogCapture, EachButtonSavesItsOwnViewAtThatViewsSize)
{
    ASSERT_NE(dialog.leftGLView().size(), QSize());
    const struct {
        int button;
        QString name;
        const GLView& view;
        const PanelsDrawable& panels;
    } sides[] = {{MainDialog::captureRightId, "right.bmp", dialog.rightGLView(), rightPanels},
        {MainDialog::captureLeftId, "left.bmp", dialog.leftGLView(), leftPanels}};
    for (const auto& side : sides) {
        SCOPED_TRACE(side.name.toStdString());
        captureAs(side.button, path(side.name));
        const QImage saved(path(side.name));
        ASSERT_EQ(saved.size(), pixelSize(side.view));
        EXPECT_EQ(rgb(saved), rgb(side.view.lastFrame()));
        expectPanels(saved, side.panels);
    }
    EXPECT_TRUE(messages.isEmpty());
}

TEST_F(MainDialogCapture, TheDefaultSceneIsSavedAsShown)
{
    dialog.rightGLView().sceneList.pop_back();
    dialog.rightGLView().paint();
    captureAs(MainDialog::captureRightId, path("scene.png"));

    const QImage scene(path("scene.png"));
    ASSERT_EQ(scene.size(), pixelSize(dialog.rightGLView()));
    EXPECT_EQ(rgb(scene), rgb(dialog.rightGLView().lastFrame()));
    EXPECT_EQ(scene.pixel(0, 0), qRgb(0, 0, 0)) << "the background";
}

TEST_F(MainDialogCapture, TheTypedExtensionChoosesTheFormat)
{
    const struct {
        const char* name;
        QByteArray format;
    } cases[] = {{"a.bmp", "bmp"}, {"b.BMP", "bmp"}, {"c.Bmp", "bmp"}, {"d.jpg", "jpeg"}, {"e.JPEG", "jpeg"},
        {"f.png", "png"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        captureAs(MainDialog::captureRightId, path(c.name));
        EXPECT_EQ(formatOf(path(c.name)), c.format);
        EXPECT_EQ(QImage(path(c.name)).size(), pixelSize(dialog.rightGLView()));
    }
    expectPanels(QImage(path("f.png")), rightPanels);
    EXPECT_TRUE(messages.isEmpty());
}

TEST_F(MainDialogCapture, ACancelOrANameWithoutExtensionWritesNothingAndSaysNothing)
{
    captureAs(MainDialog::captureRightId, QString());
    captureAs(MainDialog::captureLeftId, path("shot"));
    captureAs(MainDialog::captureLeftId, path("shot.unknownformat"));

    EXPECT_EQ(prompts, 3);
    EXPECT_TRUE(files().isEmpty());
    EXPECT_TRUE(messages.isEmpty());
}

TEST_F(MainDialogCapture, AnUnwritableOrMissingFolderWritesNothingSaysWhyAndTheDialogGoesOn)
{
    const QString locked = makeUnwritableDirectory(path("locked"));
    captureAs(MainDialog::captureRightId, locked + "/velmora-shot.bmp");
    EXPECT_TRUE(QDir(locked).entryList({"velmora-shot*"}, QDir::AllEntries | QDir::Hidden).isEmpty());
    ASSERT_EQ(messages.size(), 1);
    EXPECT_TRUE(messages[0].startsWith("Could not save \"" + locked + "/velmora-shot.bmp\": cannot create a file "
                                       "beside"))
        << messages[0].toStdString();
    captureAs(MainDialog::captureRightId, path("missing/shot.bmp"));
    EXPECT_EQ(messages.size(), 2);
    EXPECT_TRUE(messages[1].startsWith("Could not save \"" + path("missing/shot.bmp") + "\": cannot create"))
        << messages[1].toStdString();
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_TRUE(dialog.isEnabled());

    captureAs(MainDialog::captureRightId, path("after.bmp"));
    expectPanels(QImage(path("after.bmp")), rightPanels);
}

TEST_F(MainDialogCapture, ThePictureIsTakenBeforeTheFileDialogAndNeverRendered)
{
    const int renderingsBefore = leftPanels.renderings + rightPanels.renderings;
    const QImage shown = rgb(dialog.rightGLView().lastFrame());
    int renderingsWhenAsked = -1;
    // While the file dialog is open a run goes on and repaints the views with something else.
    whileAsking = [&] {
        renderingsWhenAsked = leftPanels.renderings + rightPanels.renderings;
        rightPanels.right = QColor(255, 255, 255);
        dialog.leftGLView().paint();
    };
    captureAs(MainDialog::captureRightId, path("shot.png"));

    EXPECT_EQ(renderingsWhenAsked, renderingsBefore);
    EXPECT_EQ(rgb(QImage(path("shot.png"))), shown);
    EXPECT_NE(rgb(dialog.rightGLView().lastFrame()), shown);
}

// Reports, and dismisses, any message box that shows up while it lives.
class QuestionWatch {
public:
    QuestionWatch()
    {
        QObject::connect(&poll_, &QTimer::timeout, [this] {
            for (QWidget* w : QApplication::topLevelWidgets()) {
                if (auto* box = qobject_cast<QMessageBox*>(w); box != nullptr && box->isVisible()) {
                    ++questions;
                    box->reject();
                }
            }
        });
        poll_.start(10);
    }

    int questions = 0;

private:
    QTimer poll_;
};

// What the user saw in the real file dialog.
struct FileDialogSeen {
    bool saving = false;
    QStringList filters;
    QString selectedFilter;
    QString initialName;
    bool accepted = false;
};

// Answers the real file dialog as a user would: goes to the directory, enters the name and presses Enter once
// the dialog is ready to take it.
void answerFileDialog(
    const QString& directory, const QString& name, FileDialogSeen& seen, const QString& filter = {})
{
    whenModalShows([directory, name, filter, &seen](QWidget* modal) {
        auto* fileDialog = qobject_cast<QFileDialog*>(modal);
        ASSERT_NE(fileDialog, nullptr);
        auto* nameBox = fileDialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
        ASSERT_NE(nameBox, nullptr);
        seen = {fileDialog->acceptMode() == QFileDialog::AcceptSave, fileDialog->nameFilters(),
            fileDialog->selectedNameFilter(), nameBox->text()};
        fileDialog->setDirectory(directory);
        if (!filter.isEmpty())
            fileDialog->selectNameFilter(filter);
        nameBox->setText(name);
        auto* buttons = fileDialog->findChild<QDialogButtonBox*>();
        ASSERT_NE(buttons, nullptr);
        QPushButton* save = buttons->button(QDialogButtonBox::Save);
        ASSERT_NE(save, nullptr);
        ASSERT_TRUE(QTest::qWaitFor([save] { return save->isEnabled(); }));
        QTest::keyClick(nameBox, Qt::Key_Return);
        seen.accepted = fileDialog->result() == QDialog::Accepted && !fileDialog->isVisible();
    });
}

TEST_F(MainDialogCapture, TheRealFileDialogReplacesAnExistingFileWithoutAQuestion)
{
    QFile old(path("shot.bmp"));
    ASSERT_TRUE(old.open(QIODevice::WriteOnly));
    old.write("an older file");
    old.close();
    QuestionWatch watch;

    FileDialogSeen seen;
    answerFileDialog(dir.path(), "shot.bmp", seen);
    click(MainDialog::captureRightId);

    EXPECT_TRUE(seen.saving);
    EXPECT_EQ(seen.filters, (QStringList{"BMP Files (*.bmp)", "JPEG Files (*.jpg)", "All Files (*)"}));
    EXPECT_EQ(seen.selectedFilter, "BMP Files (*.bmp)");
    EXPECT_EQ(seen.initialName, "");
    EXPECT_TRUE(seen.accepted);
    EXPECT_EQ(watch.questions, 0);
    EXPECT_EQ(formatOf(path("shot.bmp")), "bmp");
    expectPanels(QImage(path("shot.bmp")), rightPanels);
    EXPECT_TRUE(messages.isEmpty());
}

TEST_F(MainDialogCapture, TheRealFileDialogAddsNoExtensionAndACancelSavesNothing)
{
    FileDialogSeen seen;
    answerFileDialog(dir.path(), "shot", seen);
    click(MainDialog::captureLeftId);
    EXPECT_EQ(seen.selectedFilter, "BMP Files (*.bmp)");
    EXPECT_TRUE(seen.accepted);

    answerFileDialog(dir.path(), "photo", seen, "JPEG Files (*.jpg)");
    click(MainDialog::captureRightId);
    EXPECT_TRUE(seen.accepted);

    whenModalShows([](QWidget* modal) { QTest::keyClick(modal, Qt::Key_Escape); });
    click(MainDialog::captureRightId);

    EXPECT_TRUE(files().isEmpty());
    EXPECT_TRUE(messages.isEmpty());
}

}  // namespace
}  // namespace velmora
