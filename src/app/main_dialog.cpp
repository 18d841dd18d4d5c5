#include "app/main_dialog.h"

#include "app/about_dialog.h"
#include "app/message_box.h"
#include "app/save_as_dialog.h"
#include "app/text_number.h"
#include "files/replacing_file.h"
#include "scenario/scenario_file.h"
#include "sim/default_scene.h"
#include "sim/plan_algorithm.h"
#include "text/json_writer.h"

#include <QComboBox>
#include <QContextMenuEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QPushButton>
#include <QShortcut>
#include <QTimerEvent>

#include <algorithm>
#include <exception>
#include <memory>

namespace velmora {
namespace {

constexpr int runPeriodMs = 100;
constexpr int maxStepsPerTick = 10;
constexpr int minCraft = 2;
constexpr int maxCraft = 10;

// A number for a box, written shortest so that reading it back gives the same value.
QString boxNumber(double value) { return QString::number(value, 'g', QLocale::FloatingPointShortest); }

// A message stays one line whatever the file name or the reason contains.
QString oneLine(QString text)
{
    for (QChar& c : text)
        if (c.unicode() < 0x20 || c.unicode() == 0x7f)
            c = QChar(0xfffd);
    return text;
}

// The reason in velmora-sim's own words, with the file named unless the reason already names it.
QString scenarioFailure(const QString& path, const QString& reason)
{
    if (reason.contains(path))
        return oneLine(reason);
    return oneLine(QLatin1Char('"') + path + QStringLiteral("\": ") + reason);
}

// The local file of a drag, when it is one scenario file.
QString droppedScenario(const QMimeData* data)
{
    if (data == nullptr || !data->hasUrls() || data->urls().size() != 1 || !data->urls().front().isLocalFile())
        return {};
    const QString path = data->urls().front().toLocalFile();
    return path.endsWith(QStringLiteral(".json"), Qt::CaseInsensitive) ? path : QString();
}

}  // namespace

MainDialog::MainDialog(FormationDrawables& drawables)
    : drawables(drawables)
    , messageSink([this](const QString& text) { showMessageBox(this, text); })
    , saveAsPrompt([this] { return askSaveAsPath(this); })
    , saveScenarioPrompt([this] { return askScenarioPath(this); })
{
    setWindowTitle(QStringLiteral("Velmora"));
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowMaximizeButtonHint
        | Qt::WindowCloseButtonHint);
    OnInitDialog();
}

// The views are members and go before the widgets that hold them; a holder then finds its view gone and
// leaves it alone.
MainDialog::~MainDialog() = default;

QWidget* MainDialog::control(int id) const
{
    switch (id) {
    case okId: return controls.okButton;
    case cancelId: return controls.cancelButton;
    case leftViewId: return controls.leftFrame;
    case countBoxId: return controls.countBox;
    case rightViewId: return controls.rightFrame;
    case algorithmListId: return controls.algorithmList;
    case setupCraftId: return controls.setupCraftButton;
    case runAlgorithmId: return controls.runAlgorithmButton;
    case fovBoxId: return controls.fovBox;
    case tiltBoxId: return controls.tiltBox;
    case maxSpeedBoxId: return controls.maxSpeedBox;
    case setupCounterexampleId: return controls.setupCounterexampleButton;
    case captureRightId: return controls.captureRight;
    case captureLeftId: return controls.captureLeft;
    case runOneStepId: return controls.runOneStepButton;
    default: return nullptr;
    }
}

void MainDialog::connectControls()
{
    connect(controls.okButton, &QPushButton::clicked, this, &QDialog::accept);
    connect(controls.cancelButton, &QPushButton::clicked, this, &QDialog::reject);
    connect(controls.setupCraftButton, &QPushButton::clicked, this, &MainDialog::OnSetupCraft);
    connect(controls.runAlgorithmButton, &QPushButton::clicked, this, &MainDialog::OnRunAlgorithm);
    connect(controls.setupCounterexampleButton, &QPushButton::clicked, this, &MainDialog::OnSetupCounterexample);
    connect(controls.runOneStepButton, &QPushButton::clicked, this, &MainDialog::OnRunOneStep);
    connect(controls.captureRight, &QPushButton::clicked, this, &MainDialog::OnCaptureRight);
    connect(controls.captureLeft, &QPushButton::clicked, this, &MainDialog::OnCaptureLeft);
    new QShortcut(QKeySequence(Qt::Key_F1), this, this, &MainDialog::OnAbout);
    new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_S), this, this, &MainDialog::OnSaveScenario);
    setAcceptDrops(true);
}

void MainDialog::OnInitDialog()
{
    running = false;
    controls = DialogControls(this, leftView, rightView);
    connectControls();
    wireCamerasAndMouse();
    // A default scenario is the default scene: six Orlo craft at the default parameters.
    scenario = Scenario{};
    setUpFormation(scenario, formation, processRand15());
    showFormationInViews();
    afterSetup();
    const auto noteDrag = [this] {
        setup.noteMovedCraft(formation);
        showReadout();
    };
    leftView.afterMouseMove = noteDrag;
    rightView.afterMouseMove = noteDrag;
    setWindowIcon(QIcon(QStringLiteral(":/velmora/velmora.png")));
}

// Each view gets its own camera and mouse chain; the picker goes ahead of the camera in the chain so a craft
// under the cursor is dragged instead of the view being turned. Runs before the formation is set up.
void MainDialog::wireCamerasAndMouse()
{
    leftCamera.frame.setEyeDistance(750.0);
    rightCamera.frame.setEyeDistance(750.0);
    leftView.nearPlane = 10.0;
    leftView.farPlane = 10000.0;
    rightView.nearPlane = 10.0;
    rightView.farPlane = 10000.0;
    leftView.frustumEnabled = true;
    rightView.frustumEnabled = true;
    leftChain.addHandler(&drawables.left);
    leftChain.addHandler(&leftCamera);
    rightChain.addHandler(&drawables.right);
    rightChain.addHandler(&rightCamera);
    leftView.mouseHandler = &leftChain;
    rightView.mouseHandler = &rightChain;
    // The camera is drawn first: it sets the light and the look-at the formation is seen through.
    leftView.sceneList.push_back(&leftCamera);
    rightView.sceneList.push_back(&rightCamera);
    leftCamera.lightingEnabled = true;
    rightCamera.lightingEnabled = true;
}

// Once the formation is set up, each view draws it after its camera and picks in it through its own frustum,
// and the two views render together.
void MainDialog::showFormationInViews()
{
    drawables.left.formation = &formation;
    drawables.right.formation = &formation;
    leftView.sceneList.push_back(&drawables.left);
    rightView.sceneList.push_back(&drawables.right);
    leftView.frustumTracking = true;
    rightView.frustumTracking = true;
    drawables.left.frustum = &leftView.frustum;
    drawables.right.frustum = &rightView.frustum;
    leftView.camera = &leftCamera.frame;
    rightView.camera = &rightCamera.frame;
    leftView.linkedView = &rightView;
    rightView.linkedView = &leftView;
}

void MainDialog::contextMenuEvent(QContextMenuEvent* event)
{
    QMenu menu(this);
    QAction* save = menu.addAction(QStringLiteral("Save Scenario..."));
    save->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_S));
    menu.addSeparator();
    QAction* about = menu.addAction(QStringLiteral("&About Velmora..."));
    QAction* chosen = menu.exec(event->globalPos());
    if (chosen == about)
        OnAbout();
    else if (chosen == save)
        OnSaveScenario();
}

void MainDialog::dragEnterEvent(QDragEnterEvent* event)
{
    if (!droppedScenario(event->mimeData()).isEmpty())
        event->acceptProposedAction();
}

void MainDialog::dropEvent(QDropEvent* event)
{
    const QString path = droppedScenario(event->mimeData());
    if (path.isEmpty())
        return;
    event->acceptProposedAction();
    openScenario(path);
}

bool MainDialog::openScenario(const QString& path)
{
    // Set up aside first, so a scenario refused after its set-up (one that overflows) changes nothing here.
    Scenario scenario;
    auto loaded = std::make_unique<Formation>();
    try {
        scenario = loadScenarioFile(path.toStdString());
        // The scenario's own sequence, as velmora-sim run starts with, so random craft land where they land there.
        Rand15 rng(scenario.seed);
        setUpFormation(scenario, *loaded, rng);
        requireFiniteState(*loaded, "after set-up");
    } catch (const std::exception& e) {
        message(scenarioFailure(path, QString::fromUtf8(e.what())));
        return false;
    }
    stopRun();
    formation = *loaded;
    this->scenario = scenario;
    controls.countBox->setText(QString::number(scenario.count));
    controls.fovBox->setText(boxNumber(scenario.fovDeg));
    controls.tiltBox->setText(boxNumber(scenario.tiltDeg));
    controls.maxSpeedBox->setText(boxNumber(scenario.maxSpeed));
    controls.algorithmList->setCurrentIndex(scenario.algorithm >= 0 && scenario.algorithm < planAlgorithmCount
                                       ? scenario.algorithm
                                       : -1);
    afterSetup();
    paintViews();
    return true;
}

void MainDialog::OnSaveScenario()
{
    const QString path = saveScenarioPrompt();
    if (!path.isEmpty())
        saveScenario(path);
}

bool MainDialog::saveScenario(const QString& path)
{
    try {
        ReplacingFile file(QFile::encodeName(path).toStdString());
        file.write(toJsonText(scenarioToJson(setup.scenario())) + '\n');
        file.commit();
        return true;
    } catch (const FileError& e) {
        message(oneLine(QStringLiteral("Could not save \"") + path + QStringLiteral("\": ") +
                        QString::fromUtf8(e.what())));
        return false;
    }
}

void MainDialog::afterSetup()
{
    setup.recordSetup(scenario, formation);
    formationReadout.reset(formation);
    showReadout();
}

void MainDialog::showReadout() { controls.readout->setText(QString::fromStdString(formationReadout.text(formation))); }

void MainDialog::OnAbout()
{
    AboutDialog about(this);
    about.exec();
}

void MainDialog::message(const QString& text) { messageSink(text); }

void MainDialog::OnCaptureLeft() { capture(leftView); }

void MainDialog::OnCaptureRight() { capture(rightView); }

void MainDialog::capture(GLView& view)
{
    // Taken before the file dialog opens, so the picture is the view as the user saw it on pressing the
    // button: the dialog is not in it, and a run that goes on while the dialog is open does not change it.
    CaptureImage image = view.createCaptureImage(1.0);
    view.copyToImage(image);
    // A capture that cannot be written leaves nothing behind and is not worth interrupting the user for:
    // another capture is one click away.
    image.save(saveAsPrompt());
}

double MainDialog::readParameter(const QLineEdit* box, const char* tail, double fallback)
{
    const QString text = box->text();
    if (const std::optional<double> value = scanDouble(text.toStdString()))
        return *value;
    message(QLatin1Char('"') + text + QLatin1Char('"') + QLatin1String(tail));
    return fallback;
}

double MainDialog::readFovHalfAngle()
{
    return readParameter(controls.fovBox, " is not a valid ThetaFOV, resorting to 70 degrees", 70.0);
}

double MainDialog::readTiltAngle()
{
    return readParameter(controls.tiltBox, " is not a valid ThetaTilt, resorting to 25 degrees", 25.0);
}

double MainDialog::readMaxSpeed()
{
    return readParameter(controls.maxSpeedBox, " is not a valid MaxSpeed, resorting to 10 units per second", 10.0);
}

void MainDialog::OnSetupCraft()
{
    const QString countText = controls.countBox->text();
    const std::optional<int> count = scanInt(countText.toStdString());
    if (!count) {
        message(QLatin1Char('"') + countText + QLatin1String("\" is not a valid number of spacecraft"));
        return;
    }
    if (*count < minCraft || *count > maxCraft) {
        message(QStringLiteral("Number of spacecraft must be between 2 and 10 (was %1)").arg(*count));
        return;
    }
    stopRun();
    scenario.maxSpeed = readMaxSpeed();
    scenario.fovDeg = readFovHalfAngle();
    scenario.tiltDeg = readTiltAngle();
    // No selection reads as -1, which builds empty plans: the craft drift without turning.
    scenario.algorithm = controls.algorithmList->currentIndex();
    scenario.count = *count;
    scenario.craft.clear();
    scenario.counterexample = false;
    // The program's one sequence, never reseeded: each set-up after start draws the next placements.
    setUpFormation(scenario, formation, processRand15());
    afterSetup();
    paintViews();
}

void MainDialog::OnSetupCounterexample()
{
    controls.fovBox->setText(QStringLiteral("70"));
    controls.tiltBox->setText(QStringLiteral("25"));
    if (controls.algorithmList->currentIndex() <= 0)
        controls.algorithmList->setCurrentIndex(0);
    controls.countBox->setText(QStringLiteral("2"));
    if (controls.maxSpeedBox->text().isEmpty())
        controls.maxSpeedBox->setText(QStringLiteral("35"));
    OnSetupCraft();
    formation.setupCounterexample();
    afterSetup();
    paintViews();
}

void MainDialog::OnRunAlgorithm() { toggleRun(false); }

void MainDialog::OnRunOneStep() { toggleRun(true); }

void MainDialog::toggleRun(bool singleStepRun)
{
    singleStep = singleStepRun;
    if (running) {
        stopRun();
        return;
    }
    runTimer = startTimer(runPeriodMs, Qt::PreciseTimer);
    running = runTimer != 0;
}

void MainDialog::stopRun()
{
    if (running)
        killTimer(runTimer);
    runTimer = 0;
    running = false;
}

void MainDialog::timerEvent(QTimerEvent* event)
{
    if (event->timerId() == runTimer && runTimer != 0)
        OnTimer(event->timerId());
    else
        QDialog::timerEvent(event);
}

void MainDialog::OnTimer(int timerId)
{
    if (!running || timerId != runTimer)
        return;
    bool segmentChanged = false;
    for (int i = 0; i < maxStepsPerTick; ++i) {
        if (singleStep && segmentChanged)
            break;
        segmentChanged = formation.step(stepSeconds);
        formationReadout.noteStepped(formation);
    }
    setup.noteStepped(formation);
    showReadout();
    paintViews();
    // A continuous run keeps going through segment changes; only the Run buttons or a set-up end it.
    if (singleStep && segmentChanged)
        stopRun();
}

void MainDialog::paintViews()
{
    leftView.paint();
    rightView.paint();
}

}  // namespace velmora
