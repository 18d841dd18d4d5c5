#include "app/formation_drawables.h"
#include "app/main_dialog.h"

#include <QComboBox>
#include <QDropEvent>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cmath>
#include <cstdio>

namespace velmora {
namespace {

QJsonObject runSim(const QStringList& arguments)
{
    QProcess sim;
    sim.start(QStringLiteral(VELMORA_SIM_EXE), arguments);
    EXPECT_TRUE(sim.waitForFinished(60000));
    EXPECT_EQ(sim.exitCode(), 0) << sim.readAllStandardError().toStdString();
    return QJsonDocument::fromJson(sim.readAllStandardOutput()).object();
}

QPoint onScreen(const GLView& view, const Vec3& p)
{
    const double pixelsPerUnit = 0.5 * view.height() / ((750.0 - p.z) * std::tan(3.141592653589793 / 8));
    return {static_cast<int>(std::lround(0.5 * view.width() + p.y * pixelsPerUnit)),
        static_cast<int>(std::lround(0.5 * view.height() + p.x * pixelsPerUnit))};
}

class ScenarioDialog : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        dialog.setMessageSink([this](const QString& text) { messages.push_back(text); });
        dialog.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
        QTRY_VERIFY(dialog.leftGLView().isExposed() && dialog.rightGLView().isExposed());
    }

    QString write(const QString& name, const QByteArray& text)
    {
        QFile file(dir.filePath(name));
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(text);
        return file.fileName();
    }

    // A file dragged onto the dialog's background and dropped there.
    void dropOnDialog(const QString& path)
    {
        QMimeData data;
        data.setUrls({QUrl::fromLocalFile(path)});
        const QPoint at(dialog.width() - 20, dialog.height() / 2);
        QDragEnterEvent enter(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(&dialog, &enter);
        QDropEvent drop(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(&dialog, &drop);
    }

    void runTicks(int ticks)
    {
        dialog.OnRunAlgorithm();
        for (int tick = 0; tick < ticks; ++tick)
            dialog.OnTimer(dialog.runTimerId());
        dialog.OnRunAlgorithm();
    }

    // The dialog's craft are exactly those velmora-sim printed, to the last bit.
    void expectSameCraft(const QJsonObject& result)
    {
        const Formation& f = dialog.formationState();
        const QJsonArray craft = result["craft"].toArray();
        ASSERT_EQ(craft.size(), f.craftCount());
        for (int i = 0; i < f.craftCount(); ++i) {
            const QJsonArray p = craft[i].toObject()["position"].toArray();
            const QJsonArray a = craft[i].toObject()["attitude"].toArray();
            for (int k = 0; k < 3; ++k)
                EXPECT_EQ(f.spacecraft(i).position[k], p[k].toDouble()) << "craft " << i;
            for (int k = 0; k < 9; ++k)
                EXPECT_EQ(f.spacecraft(i).attitude.m[k], a[k].toDouble()) << "craft " << i;
        }
    }

    QTemporaryDir dir;
    FormationDrawables drawables;
    MainDialog dialog{drawables};
    QStringList messages;
};

TEST_F(ScenarioDialog, OpensAScenarioShowsItsValuesAndRunsItAsVelmoraSimDoes)
{
    const QString path = write("three.json", R"({"algorithm":"Orlo","count":3,"boxHalfSize":100,"maxSpeed":1,)"
                                             R"("fovDeg":70.5,"tiltDeg":25,"craftRadius":12})");
    dialog.OnRunAlgorithm();
    ASSERT_TRUE(dialog.openScenario(path));
    EXPECT_FALSE(dialog.isRunning());
    EXPECT_TRUE(messages.isEmpty());
    EXPECT_EQ(dialog.countEdit()->text(), "3");
    EXPECT_EQ(dialog.fovEdit()->text(), "70.5");
    EXPECT_EQ(dialog.tiltEdit()->text(), "25");
    EXPECT_EQ(dialog.maxSpeedEdit()->text(), "1");
    EXPECT_EQ(dialog.algorithmListBox()->currentText(), "Orlo");
    EXPECT_EQ(dialog.scenarioState().craftRadius, 12.0);
    EXPECT_EQ(dialog.readoutLabel()->text(), "t = 0.00 s   links 0   groups 3");
    expectSameCraft(runSim({"run", path, "--steps", "0"}));

    // 60 ticks of ten steps: the pair (1, 2) links at 4.54 s and (0, 1) at 5.33 s, as velmora-sim finds.
    runTicks(60);
    const QJsonObject result = runSim({"run", path, "--steps", "600"});
    expectSameCraft(result);
    ASSERT_EQ(result["links"].toArray().size(), 2);
    EXPECT_NEAR(result["links"].toArray()[1].toObject()["time"].toDouble(), 5.33, 1e-9);
    EXPECT_TRUE(result["initialized"].toBool());
    EXPECT_EQ(dialog.readoutLabel()->text(), "t = 6.00 s   links 2   initialized at 5.33 s");
    EXPECT_EQ(dialog.readoutLabel()->focusPolicy(), Qt::NoFocus);
    EXPECT_TRUE(dialog.rect().contains(dialog.readoutLabel()->geometry()));
    for (int id = MainDialog::leftViewId; id <= MainDialog::runOneStepId; ++id)
        EXPECT_FALSE(dialog.readoutLabel()->geometry().intersects(dialog.control(id)->geometry())) << id;
    const QFontMetrics metrics(dialog.readoutLabel()->font());
    EXPECT_LE(metrics.horizontalAdvance("t = 1234.56 s   links 45   initialized at 1234.56 s"),
              dialog.readoutLabel()->width());
}

TEST_F(ScenarioDialog, BadFilesGiveOneMessageAndChangeNothing)
{
    dialog.OnRunAlgorithm();
    dialog.OnTimer(dialog.runTimerId());
    const Formation before = dialog.formationState();
    const QString readout = dialog.readoutLabel()->text();
    const struct {
        QString path;
        const char* says;
    } cases[] = {
        {write("text.json", "not json at all"), "is not valid JSON"},
        {write("types.json", R"({"maxSpeed": "fast"})"), "\"maxSpeed\" must be a number"},
        {write("count.json", R"({"count": 99})"), "\"count\" must be an integer from 0 to 20"},
        {dir.path(), "directory"},
        {write("huge.json", R"({"boxHalfSize": 1e308})"), "not a finite number"},
        {dir.filePath("missing.json"), "cannot read scenario file"},
    };
    for (const auto& c : cases) {
        messages.clear();
        EXPECT_FALSE(dialog.openScenario(c.path)) << c.path.toStdString();
        ASSERT_EQ(messages.size(), 1) << c.path.toStdString();
        EXPECT_TRUE(messages[0].contains(c.path)) << messages[0].toStdString();
        EXPECT_TRUE(messages[0].contains(QString::fromUtf8(c.says))) << messages[0].toStdString();
        EXPECT_FALSE(messages[0].contains('\n')) << messages[0].toStdString();
    }
    EXPECT_TRUE(dialog.isRunning());
    EXPECT_EQ(dialog.formationState().time(), before.time());
    EXPECT_EQ(dialog.formationState().spacecraft(0).position, before.spacecraft(0).position);
    EXPECT_EQ(dialog.countEdit()->text(), "");
    EXPECT_EQ(dialog.readoutLabel()->text(), readout);
}

TEST_F(ScenarioDialog, CtrlSSavesTheSetUpWithADraggedCraftForVelmoraSimToReplay)
{
    dialog.countEdit()->setText("4");
    dialog.maxSpeedEdit()->setText("3");
    dialog.fovEdit()->setText("65");
    dialog.tiltEdit()->setText("30");
    dialog.algorithmListBox()->setCurrentIndex(3);
    QTest::mouseClick(dialog.control(MainDialog::setupCraftId), Qt::LeftButton);

    // Drag the first craft that sits well inside the left view.
    GLView& left = dialog.leftGLView();
    int picked = -1;
    QPoint from;
    for (int i = 0; i < 4 && picked < 0; ++i) {
        from = onScreen(left, dialog.formationState().spacecraft(i).position);
        if (left.lastFrame().rect().adjusted(40, 40, -60, -60).contains(from))
            picked = i;
    }
    ASSERT_GE(picked, 0);
    const Vec3 start = dialog.formationState().spacecraft(picked).position;
    QTest::mousePress(&left, Qt::LeftButton, {}, from);
    QTest::mouseMove(&left, from + QPoint(1, 0));
    QTest::mouseMove(&left, from + QPoint(30, 20));
    QTest::mouseRelease(&left, Qt::LeftButton, {}, from + QPoint(30, 20));
    QTest::mouseMove(&left, from + QPoint(31, 20));
    const Vec3 dropped = dialog.formationState().spacecraft(picked).position;
    ASSERT_NE(dropped, start);

    const QString path = dir.filePath("saved.json");
    dialog.setSaveScenarioPrompt([&] { return path; });
    dialog.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&dialog));
    QTest::keyClick(&dialog, Qt::Key_S, Qt::ControlModifier);
    ASSERT_TRUE(QFile::exists(path));
    EXPECT_TRUE(messages.isEmpty());

    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QJsonObject saved = QJsonDocument::fromJson(file.readAll()).object();
    EXPECT_EQ(saved["algorithm"].toString(), "HalfTwist");
    EXPECT_EQ(saved["fovDeg"].toDouble(), 65.0);
    const QJsonArray p = saved["craft"].toArray()[picked].toObject()["position"].toArray();
    EXPECT_EQ(Vec3(p[0].toDouble(), p[1].toDouble(), p[2].toDouble()), dropped);

    runTicks(50);
    expectSameCraft(runSim({"run", path, "--steps", "500"}));
}

TEST_F(ScenarioDialog, DroppingAScenarioFileOpensIt)
{
    const QString path = write("pair.json", R"({"algorithm":"WaitAndCheck","count":2,"fovDeg":50})");
    dialog.OnRunAlgorithm();
    QMimeData data;
    data.setUrls({QUrl::fromLocalFile(path)});
    const QPoint at(dialog.width() - 20, dialog.height() / 2);
    QDragEnterEvent enter(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&dialog, &enter);
    EXPECT_TRUE(enter.isAccepted());
    QDropEvent drop(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&dialog, &drop);
    EXPECT_FALSE(dialog.isRunning());
    EXPECT_EQ(dialog.formationState().craftCount(), 2);
    EXPECT_EQ(dialog.algorithmListBox()->currentIndex(), 4);

    QMimeData text;
    text.setUrls({QUrl::fromLocalFile(dir.filePath("notes.txt"))});
    QDragEnterEvent refused(at, Qt::CopyAction, &text, Qt::LeftButton, Qt::NoModifier);
    refused.setAccepted(false);
    QApplication::sendEvent(&dialog, &refused);
    EXPECT_FALSE(refused.isAccepted());

    // Either view is a window of its own, and takes the drop as the dialog does.
    const QString four = write("four.json", R"({"count":4})");
    QMimeData other;
    other.setUrls({QUrl::fromLocalFile(four)});
    for (GLView* view : {&dialog.leftGLView(), &dialog.rightGLView()}) {
        const QPointF middle(view->width() / 2.0, view->height() / 2.0);
        QDragEnterEvent over(middle.toPoint(), Qt::CopyAction, &other, Qt::LeftButton, Qt::NoModifier);
        over.setAccepted(false);
        QApplication::sendEvent(view, &over);
        EXPECT_TRUE(over.isAccepted());
        dialog.openScenario(path);
        QDropEvent onView(middle, Qt::CopyAction, &other, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(view, &onView);
        EXPECT_EQ(dialog.formationState().craftCount(), 4);
    }
    EXPECT_TRUE(messages.isEmpty());
}

// What is not a file to read a scenario from is said before anything reads it: a named pipe would wait
// for a writer with no window to show for it.
TEST_F(ScenarioDialog, PipesAndDevicesAreRefusedAndNamesInAnyEncodingOpen)
{
    const QByteArray fifo = QFile::encodeName(dir.filePath("pipe.json"));
    ASSERT_EQ(::mkfifo(fifo.constData(), 0600), 0);
    EXPECT_FALSE(dialog.openScenarioFile(fifo));
    EXPECT_EQ(messages, QStringList{"Cannot open \"" + dir.filePath("pipe.json") + "\": it is a named pipe, not a "
                                                                                  "scenario file"});
    EXPECT_FALSE(dialog.openScenarioFile("/dev/null"));
    EXPECT_EQ(messages.size(), 2);

    // A Latin-1 name in a UTF-8 system: the bytes name the file, whatever they read as.
    const QByteArray latin1 = QFile::encodeName(dir.path()) + "/caf\xe9.json";
    QFile file(QFile::decodeName(latin1));
    {
        FILE* raw = std::fopen(latin1.constData(), "w");
        ASSERT_NE(raw, nullptr);
        std::fputs(R"({"count":5})", raw);
        std::fclose(raw);
    }
    messages.clear();
    EXPECT_TRUE(dialog.openScenarioFile(latin1));
    EXPECT_TRUE(messages.isEmpty()) << messages.join(" ").toStdString();
    EXPECT_EQ(dialog.formationState().craftCount(), 5);
}

// A plan file joins the list after the five built-in plans; the craft fly its roles, and a saved scenario
// carries the plan itself, so velmora-sim flies it without the file.
TEST_F(ScenarioDialog, PlanFilesJoinTheListFlyTheirRolesAndAreSavedWithTheScenario)
{
    const QString planPath = write("tumble.plan.json", R"({"velmoraPlan": 1, "name": "Tumble", "roles": [
        {"segments": [{"duration": "2*pi", "axis": [1, 1, 0], "rate": 1}]},
        {"segments": [{"duration": "pi", "axis": "-z", "rate": "g"}, {"duration": "tilt", "axis": "y", "rate": 2}]},
        {"segments": [{"duration": 3, "axis": "x", "rate": 0}]}]})");
    dropOnDialog(planPath);
    ASSERT_EQ(dialog.algorithmListBox()->count(), 6) << messages.join(" ").toStdString();
    EXPECT_EQ(dialog.algorithmListBox()->currentIndex(), 5);
    EXPECT_EQ(dialog.algorithmListBox()->itemText(5), "Tumble");
    // Dropped again after an edit, the entry is read again, not added twice.
    QFile(planPath).remove();
    write("tumble.plan.json", R"({"velmoraPlan": 1, "name": "Tumble2", "roles": [
        {"segments": [{"duration": "2*pi", "axis": [1, 1, 0], "rate": 1}]},
        {"segments": [{"duration": "pi", "axis": "-z", "rate": "g"}, {"duration": "tilt", "axis": "y", "rate": 2}]},
        {"segments": [{"duration": 3, "axis": "x", "rate": 0}]}]})");
    dropOnDialog(planPath);
    ASSERT_EQ(dialog.algorithmListBox()->count(), 6);
    EXPECT_EQ(dialog.algorithmListBox()->itemText(5), "Tumble2");

    dialog.countEdit()->setText("5");
    dialog.fovEdit()->setText("60");
    dialog.tiltEdit()->setText("20");
    dialog.maxSpeedEdit()->setText("2");
    QTest::mouseClick(dialog.control(MainDialog::setupCraftId), Qt::LeftButton);
    EXPECT_TRUE(messages.isEmpty()) << messages.join(" ").toStdString();
    const Formation& f = dialog.formationState();
    EXPECT_EQ(f.plan(0).count(), 1);
    EXPECT_EQ(f.plan(1).count(), 2);
    EXPECT_EQ(f.plan(2).count(), 1);
    EXPECT_EQ(f.plan(3).count(), 1);  // role 3 mod 3 = 0
    EXPECT_EQ(f.plan(1).segment(1).duration, pi * 20.0 * (1.0 / 180.0));

    const QString saved = dir.filePath("saved.json");
    ASSERT_TRUE(dialog.saveScenario(saved));
    QFile(planPath).remove();
    QFile file(saved);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(QJsonDocument::fromJson(file.readAll()).object()["algorithm"].toObject()["name"].toString(), "Tumble2");
    runTicks(30);
    expectSameCraft(runSim({"run", saved, "--steps", "300"}));

    // A file that is no plan is said, and the list stays as it was.
    dropOnDialog(write("bad.plan.json", R"({"velmoraPlan": 1, "name": "B", "roles": [{}]})"));
    ASSERT_EQ(messages.size(), 1);
    EXPECT_TRUE(messages[0].contains("bad.plan.json\", role 0: a role needs \"segments\"")) << messages[0].toStdString();
    EXPECT_EQ(dialog.algorithmListBox()->count(), 6);
}

TEST_F(ScenarioDialog, CtrlOOpensTheChosenFileAndResetViewsBringsBothCamerasBack)
{
    const QString path = write("pair.json", R"({"count":2})");
    dialog.setOpenScenarioPrompt([&] { return path; });
    dialog.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&dialog));
    QTest::keyClick(&dialog, Qt::Key_O, Qt::ControlModifier);
    EXPECT_EQ(dialog.formationState().craftCount(), 2);

    const CameraFrame start = dialog.leftCameraController().frame;
    QTest::mousePress(&dialog.rightGLView(), Qt::RightButton, {}, QPoint(10, 10));
    QTest::mouseMove(&dialog.rightGLView(), QPoint(10, 60));
    QTest::mouseMove(&dialog.rightGLView(), QPoint(10, 110));
    QTest::mouseRelease(&dialog.rightGLView(), Qt::RightButton, {}, QPoint(10, 110));
    QTest::mousePress(&dialog.leftGLView(), Qt::LeftButton, {}, QPoint(5, 5));
    QTest::mouseMove(&dialog.leftGLView(), QPoint(40, 30));
    QTest::mouseMove(&dialog.leftGLView(), QPoint(80, 60));
    QTest::mouseRelease(&dialog.leftGLView(), Qt::LeftButton, {}, QPoint(80, 60));
    ASSERT_NE(dialog.rightCameraController().frame.eyeDistance(), 750.0);
    ASSERT_NE(dialog.leftCameraController().frame.orientation, start.orientation);
    dialog.OnResetViews();
    for (const CameraController* camera : {&dialog.leftCameraController(), &dialog.rightCameraController()}) {
        EXPECT_EQ(camera->frame.eyeDistance(), 750.0);
        EXPECT_EQ(camera->frame.orientation, Mat3{});
    }
}

TEST_F(ScenarioDialog, AFailedSaveSaysSoAndWritesNothing)
{
    const QString blocked = write("file", "x") + QStringLiteral("/saved.json");
    EXPECT_FALSE(dialog.saveScenario(blocked));
    ASSERT_EQ(messages.size(), 1);
    EXPECT_TRUE(messages[0].startsWith("Could not save \"" + blocked + "\": ")) << messages[0].toStdString();
}

}  // namespace
}  // namespace velmora
