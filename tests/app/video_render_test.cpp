// Videos of runs as a user makes them: velmora --render run as its own process without any display, its
// frames set against the dialog's captures under Xvfb, its files read by ffprobe; and Record Run driven in the
// real dialog.
#include "app/main_dialog.h"
#include "support/window_watch.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QDir>
#include <QImageReader>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QMenu>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <csignal>

namespace velmora {
namespace {

const QString scenario = QStringLiteral(VELMORA_SOURCE_DIR "/examples/default-scene.json");

struct Outcome {
    int status = -1;
    QString err;
};

// velmora as a user starts it, with no display to talk to.
Outcome velmora(const QStringList& arguments, const QString& path = QString::fromLocal8Bit(qgetenv("PATH")))
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.remove(QStringLiteral("DISPLAY"));
    environment.insert(QStringLiteral("PATH"), path);
    QProcess process;
    process.setProcessEnvironment(environment);
    process.start(QStringLiteral(VELMORA_EXE), arguments);
    EXPECT_TRUE(process.waitForFinished(120000)) << arguments.join(' ').toStdString();
    return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
            QString::fromUtf8(process.readAllStandardError())};
}

QJsonObject ffprobe(const QString& file)
{
    QProcess probe;
    probe.start(QStringLiteral("ffprobe"), {"-v", "error", "-count_frames", "-show_entries",
                                            "stream=width,height,nb_read_frames:format=duration:format_tags",
                                            "-of", "json", file});
    EXPECT_TRUE(probe.waitForFinished(60000));
    return QJsonDocument::fromJson(probe.readAllStandardOutput()).object();
}

QImage rgb32(const QImage& image) { return image.convertToFormat(QImage::Format_RGB32); }

QImage frameOf(const QString& folder, int k)
{
    return rgb32(QImage(QStringLiteral("%1/frame-%2.png").arg(folder).arg(k, 6, 10, QLatin1Char('0'))));
}

QString sizeOption(QSize size) { return QStringLiteral("%1x%2").arg(size.width()).arg(size.height()); }

class VideoRender : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        dialog.setMessageSink([this](const QString& text) { messages.push_back(text); });
        dialog.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
        QTRY_VERIFY(dialog.leftGLView().isExposed() && dialog.rightGLView().isExposed());
    }

    QString path(const QString& name) const { return dir.filePath(name); }
    QStringList files() const { return QDir(dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot); }
    QSize leftPixels() { return dialog.leftGLView().size() * dialog.leftGLView().devicePixelRatio(); }

    // One tick of the dialog's run, and the left view's picture after it.
    QImage tick()
    {
        dialog.OnTimer(dialog.runTimerId());
        return rgb32(dialog.leftGLView().lastFrame());
    }

    FormationDrawables drawables;
    MainDialog dialog{drawables};
    QTemporaryDir dir;
    QStringList messages;
};

// Frame k of a rendering at 10 frames a second and ten times real time shows the formation after 100 k steps,
// as the dialog does after 10 k ticks: pixel for pixel, through six seconds in which links form. The caption
// changes nothing but its corner, and both views side by side are each the view they show.
TEST_F(VideoRender, FramesAreTheDialogsCapturesAfterTheSameSteps)
{
    ASSERT_TRUE(dialog.openScenario(scenario));
    const QSize size = leftPixels();
    const QStringList common{"--render", scenario, "--size", sizeOption(size), "--fps", "10", "--speed", "10",
                             "--steps", "600"};
    const Outcome bare = velmora(common + QStringList{"--out", path("bare"), "--no-caption"});
    ASSERT_EQ(bare.status, 0) << bare.err.toStdString();
    const Outcome captioned = velmora(common + QStringList{"--out", path("captioned")});
    ASSERT_EQ(captioned.status, 0) << captioned.err.toStdString();
    ASSERT_EQ(QDir(path("bare")).entryList(QDir::Files).size(), 7);

    dialog.OnRunAlgorithm();
    for (int k = 0; k <= 6; ++k) {
        SCOPED_TRACE(k);
        QImage shown = rgb32(dialog.leftGLView().lastFrame());
        for (int t = 0; k > 0 && t < 10; ++t)
            shown = tick();
        const QImage frame = frameOf(path("bare"), k);
        ASSERT_EQ(frame.size(), size);
        EXPECT_TRUE(frame == shown);
        const QImage withCaption = frameOf(path("captioned"), k);
        int changed = 0;
        for (int y = 0; y < size.height(); ++y)
            for (int x = 0; x < size.width(); ++x)
                if (withCaption.pixel(x, y) != frame.pixel(x, y)) {
                    ++changed;
                    ASSERT_GT(y, size.height() * 7 / 8) << "caption outside the lower band at " << x;
                }
        EXPECT_GT(changed, 100);
    }
    EXPECT_GT(dialog.formationState().linkCount(), 0);

    const Outcome both = velmora({"--render", scenario, "--out", path("both"), "--view", "both", "--size",
                              sizeOption({2 * size.width(), size.height()}), "--steps", "0", "--right-orbit", "90,0",
                              "--no-caption"});
    ASSERT_EQ(both.status, 0) << both.err.toStdString();
    const QImage pair = frameOf(path("both"), 0);
    EXPECT_TRUE(pair.copy(QRect({0, 0}, size)) == frameOf(path("bare"), 0));
    EXPECT_FALSE(pair.copy(QRect({size.width(), 0}, size)) == frameOf(path("bare"), 0));
}

TEST_F(VideoRender, VideosHoldEveryFrameAtTheirSizeAndRateAndSayWhatMadeThem)
{
    for (const char* name : {"run.mp4", "run.webm", "run.gif"}) {
        SCOPED_TRACE(name);
        const Outcome run = velmora({"--render", scenario, "--out", path(name), "--size", "320x180", "--steps", "100"});
        ASSERT_EQ(run.status, 0) << run.err.toStdString();
        const QJsonObject probe = ffprobe(path(name));
        const QJsonObject stream = probe["streams"].toArray().at(0).toObject();
        EXPECT_EQ(stream["width"].toInt(), 320);
        EXPECT_EQ(stream["height"].toInt(), 180);
        EXPECT_EQ(stream["nb_read_frames"].toString(), "26") << "steps 0, 4, ... 100 at 25 frames a second";
        EXPECT_NEAR(probe["format"].toObject()["duration"].toString().toDouble(), 26 / 25.0, 1e-6);
        const QJsonObject tags = probe["format"].toObject()["tags"].toObject();
        const QJsonObject made =
            QJsonDocument::fromJson((tags.contains("comment") ? tags["comment"] : tags["COMMENT"]).toString().toUtf8())
                .object();
        EXPECT_EQ(made["velmora"].toString(), "1.0");
        EXPECT_TRUE(made["command"].toArray().contains(QJsonValue("--render")));
        EXPECT_EQ(made["parameters"].toObject()["seed"].toInt(), 1);
        EXPECT_EQ(made["video"].toObject()["steps"].toInt(), 100);
        EXPECT_EQ(made["video"].toObject()["frames"].toInt(), 26);
    }
    EXPECT_EQ(files(), (QStringList{"run.gif", "run.mp4", "run.webm"}));
}

// Every mistake is said in one line before any work, and nothing is written.
TEST_F(VideoRender, BadRequestsAreSaidInOneLineAndWriteNothing)
{
    QDir(dir.path()).mkdir("photos");
    QFile photo(path("photos/holiday.jpg"));
    ASSERT_TRUE(photo.open(QIODevice::WriteOnly));
    photo.close();
    QTemporaryDir noPrograms;
    const struct {
        QStringList arguments;
        int status;
        QString says;
        QString path = QString::fromLocal8Bit(qgetenv("PATH"));
    } cases[] = {
        {{"--render", scenario, "--out", path("run.avi")}, 2, ".mp4, .webm or .gif"},
        {{"--render", scenario, "--out", path("run.mp4"), "--size", "321x240"}, 2, "even width"},
        {{"--render", scenario, "--out", path("run.mp4"), "--fps", "0"}, 2, "--fps"},
        {{"--render", scenario, "--out", path("run.mp4"), "--steps", "5", "--duration", "1"}, 2, "--steps excludes --duration"},
        {{"--render", scenario, "--out", path("no/run.mp4")}, 2, "cannot create"},
        {{"--render", scenario, "--out", path("photos")}, 2, "other than PNG frames"},
        {{"--render", path("none.json"), "--out", path("run.mp4")}, 2, "none.json"},
        {{"--out", path("run.mp4")}, 2, "--out is an option of --render"},
        {{"--render", scenario, "--out", path("run.mp4")}, 1, "apt-get install ffmpeg", noPrograms.path()},
    };
    for (const auto& c : cases) {
        const Outcome run = velmora(c.arguments, c.path);
        EXPECT_EQ(run.status, c.status) << c.arguments.join(' ').toStdString();
        EXPECT_TRUE(run.err.startsWith("velmora: ") && run.err.count('\n') == 1 && run.err.contains(c.says))
            << run.err.toStdString();
    }
    EXPECT_EQ(files(), QStringList{"photos"});
    EXPECT_EQ(QDir(path("photos")).entryList(QDir::Files), QStringList{"holiday.jpg"});
}

TEST_F(VideoRender, AnInterruptedRenderingLeavesNoPartOfItsVideo)
{
    for (const QString name : {"run.mp4", "frames"}) {
        SCOPED_TRACE(name.toStdString());
        QFile old(path("run.mp4"));
        ASSERT_TRUE(old.open(QIODevice::WriteOnly));
        old.write("old video");
        old.close();
        QProcess render;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.remove(QStringLiteral("DISPLAY"));
        render.setProcessEnvironment(environment);
        render.start(QStringLiteral(VELMORA_EXE),
                     {"--render", scenario, "--out", path(name), "--size", "320x180", "--steps", "100000"});
        // Once the video is under way.
        QTRY_VERIFY_WITH_TIMEOUT(files().size() == 2, 30000);
        ASSERT_TRUE(files().filter(".partial").size() == 1) << files().join(' ').toStdString();
        QTest::qWait(300);
        ::kill(static_cast<pid_t>(render.processId()), SIGINT);
        ASSERT_TRUE(render.waitForFinished(30000));
        EXPECT_EQ(render.exitCode(), 128 + SIGINT);
        const QString said = QString::fromUtf8(render.readAllStandardError());
        EXPECT_TRUE(said.contains("interrupted") && said.count('\n') == 1) << said.toStdString();
        EXPECT_EQ(files(), QStringList{"run.mp4"});
        EXPECT_TRUE(old.open(QIODevice::ReadOnly) && old.readAll() == "old video");
        old.close();
    }
}

// The user picks Record Run in the right-click menu and names a folder; the run starts, and every tick's left
// view goes into the video until the run is stopped.
TEST_F(VideoRender, RecordRunSavesWhatTheLeftViewShowsAtEveryTickUntilTheRunStops)
{
    dialog.setRecordRunPrompt([this] { return path("recorded"); });
    whenShown([] { return QApplication::activePopupWidget(); },
              [](QWidget* popup) {
                  auto* menu = qobject_cast<QMenu*>(popup);
                  ASSERT_NE(menu, nullptr);
                  ASSERT_EQ(menu->actions().at(2)->text(), "Record Run...");
                  for (int i = 0; i < 3; ++i)
                      QTest::keyClick(menu, Qt::Key_Down);
                  QTest::keyClick(menu, Qt::Key_Return);
              });
    QContextMenuEvent rightClick(QContextMenuEvent::Mouse, QPoint(5, dialog.height() - 5),
                                 dialog.mapToGlobal(QPoint(5, dialog.height() - 5)));
    QApplication::sendEvent(&dialog, &rightClick);
    ASSERT_TRUE(dialog.isRecording());
    ASSERT_TRUE(dialog.isRunning());

    QList<QImage> shown{rgb32(dialog.leftGLView().lastFrame())};
    for (int t = 0; t < 3; ++t)
        shown << tick();
    // As the Run Algorithm button does, without letting another tick of the run's timer in first.
    dialog.OnRunAlgorithm();
    EXPECT_FALSE(dialog.isRecording());
    EXPECT_TRUE(messages.isEmpty()) << messages.join('\n').toStdString();

    ASSERT_EQ(QDir(path("recorded")).entryList(QDir::Files).size(), 4);
    const QSize size = leftPixels();
    const QRect aboveCaption(0, 0, size.width(), size.height() * 7 / 8);
    for (int k = 0; k < 4; ++k)
        EXPECT_TRUE(frameOf(path("recorded"), k).copy(aboveCaption) == shown[k].copy(aboveCaption)) << k;
    QImageReader reader(path("recorded/frame-000003.png"));
    const QJsonObject made = QJsonDocument::fromJson(reader.text("Comment").toUtf8()).object();
    EXPECT_EQ(made["parameters"].toObject()["craft"].toArray().size(), 6) << "every craft, to run it again";
    EXPECT_EQ(made["recording"].toObject()["by"].toString(), "Record Run");
    EXPECT_NEAR(made["frame"].toObject()["time"].toDouble(), 0.3, 1e-9);
}

TEST_F(VideoRender, ARecordedMp4HasEvenSidesAndAnUnknownFormatIsSaidAndStartsNothing)
{
    EXPECT_FALSE(dialog.recordRun(path("run.avi")));
    EXPECT_FALSE(dialog.isRunning());
    ASSERT_EQ(messages.size(), 1);
    EXPECT_TRUE(messages[0].contains(".mp4, .webm or .gif")) << messages[0].toStdString();

    ASSERT_TRUE(dialog.recordRun(path("run.mp4")));
    tick();
    tick();
    dialog.OnRunAlgorithm();
    const QJsonObject stream = ffprobe(path("run.mp4"))["streams"].toArray().at(0).toObject();
    const QSize size = leftPixels();
    EXPECT_EQ(stream["width"].toInt(), size.width() + size.width() % 2);
    EXPECT_EQ(stream["height"].toInt(), size.height() + size.height() % 2);
    EXPECT_EQ(stream["nb_read_frames"].toString(), "3");
    EXPECT_EQ(files(), QStringList{"run.mp4"});
}

}  // namespace
}  // namespace velmora
