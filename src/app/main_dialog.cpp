#include "app/main_dialog.h"

#include "app/about_dialog.h"
#include "app/message_box.h"
#include "app/save_as_dialog.h"
#include "app/text_number.h"
#include "app/view_defaults.h"
#include "geometry/angles.h"
#include "sim/default_scene.h"
#include "sim/plan_algorithm.h"
#include "text/json_writer.h"

#include <QComboBox>
#include <QContextMenuEvent>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QShortcut>
#include <QTimerEvent>

#include <cmath>
#include <memory>

namespace velmora {
namespace {

constexpr int runPeriodMs = 100;
constexpr int maxStepsPerTick = 10;
constexpr int minCraft = 2;
constexpr int maxCraft = 10;

}  // namespace

MainDialog::MainDialog(FormationDrawables& drawables)
    : drawables(drawables)
    , messageSink([this](const QString& text) { showMessageBox(this, text); })
    , saveAsPrompt([this] { return askSaveAsPath(this); })
    , saveScenarioPrompt([this] { return askScenarioPath(this); })
    , openScenarioPrompt([this] { return askScenarioToOpen(this); })
    , recordRunPrompt([this] { return askVideoPath(this); })
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
    new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_O), this, this, &MainDialog::OnOpenScenario);
    setAcceptDrops(true);
    leftView.installEventFilter(this);
    rightView.installEventFilter(this);
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
    leftCamera.frame.setEyeDistance(startEyeDistance);
    rightCamera.frame.setEyeDistance(startEyeDistance);
    leftView.nearPlane = viewNearPlane;
    leftView.farPlane = viewFarPlane;
    rightView.nearPlane = viewNearPlane;
    rightView.farPlane = viewFarPlane;
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
    QAction* open = menu.addAction(QStringLiteral("Open Scenario..."));
    open->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_O));
    QAction* save = menu.addAction(QStringLiteral("Save Scenario..."));
    save->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_S));
    QAction* record = menu.addAction(QStringLiteral("Record Run..."));
    record->setEnabled(!recorder.recording());
    QAction* reset = menu.addAction(QStringLiteral("Reset Views"));
    menu.addSeparator();
    QAction* about = menu.addAction(QStringLiteral("&About Velmora..."));
    QAction* chosen = menu.exec(event->globalPos());
    if (chosen == about)
        OnAbout();
    else if (chosen == open)
        OnOpenScenario();
    else if (chosen == save)
        OnSaveScenario();
    else if (chosen == record)
        OnRecordRun();
    else if (chosen == reset)
        OnResetViews();
}

void MainDialog::OnResetViews()
{
    for (CameraController* camera : {&leftCamera, &rightCamera}) {
        camera->frame = CameraFrame{};
        camera->frame.setEyeDistance(startEyeDistance);
    }
    paintViews();
}

void MainDialog::done(int result)
{
    stopRun();
    QDialog::done(result);
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
    // A cancelled dialog or a name without a known extension writes nothing and says nothing; a file that
    // could not be written is said, and the old one stays.
    const QString path = saveAsPrompt();
    QString failure;
    if (!image.save(path, &failure) && !failure.isEmpty())
        message(oneLine(QStringLiteral("Could not save \"") + path + QStringLiteral("\": ") + failure));
}

double MainDialog::readParameter(const QLineEdit* box, const char* tail, double fallback, bool angle)
{
    const QString text = box->text();
    // An angle so large that its radians overflow turns no craft: it is as unreadable as "inf".
    if (const std::optional<double> value = scanDouble(text.toStdString());
        value && (!angle || std::isfinite(degreesToRadians(*value))))
        return *value;
    message(QLatin1Char('"') + text + QLatin1Char('"') + QLatin1String(tail));
    return fallback;
}

double MainDialog::readFovHalfAngle()
{
    return readParameter(controls.fovBox, " is not a valid ThetaFOV, resorting to 70 degrees", 70.0, true);
}

double MainDialog::readTiltAngle()
{
    return readParameter(controls.tiltBox, " is not a valid ThetaTilt, resorting to 25 degrees", 25.0, true);
}

double MainDialog::readMaxSpeed()
{
    return readParameter(controls.maxSpeedBox, " is not a valid MaxSpeed, resorting to 10 units per second", 10.0);
}

void MainDialog::OnSetupCraft() { setupCraft(false); }

bool MainDialog::setupCraft(bool counterexample)
{
    const QString countText = controls.countBox->text();
    const std::optional<int> count = scanInt(countText.toStdString());
    if (!count) {
        message(QLatin1Char('"') + countText + QLatin1String("\" is not a valid number of spacecraft"));
        return false;
    }
    if (*count < minCraft || *count > maxCraft) {
        message(QStringLiteral("Number of spacecraft must be between 2 and 10 (was %1)").arg(*count));
        return false;
    }
    stopRun();
    Scenario next = scenario;
    next.maxSpeed = readMaxSpeed();
    next.fovDeg = readFovHalfAngle();
    next.tiltDeg = readTiltAngle();
    // No selection reads as -1, which builds empty plans: the craft drift without turning. Entries after the
    // five built-in plans are plan files.
    const int selected = controls.algorithmList->currentIndex();
    next.plan = selected >= planAlgorithmCount ? plans[static_cast<std::size_t>(selected - planAlgorithmCount)].plan
                                               : nullptr;
    next.algorithm = next.plan ? -1 : selected;
    next.count = *count;
    next.craft.clear();
    next.counterexample = false;
    // The program's one sequence, never reseeded: each set-up after start draws the next placements.
    if (!replaceFormation([&](Formation& f) { setUpFormation(next, f, processRand15()); }))
        return false;
    scenario = next;
    afterSetup();
    paintViews();
    if (!counterexample)
        return true;
    if (!replaceFormation([](Formation& f) { f.setupCounterexample(); }))
        return false;
    afterSetup();
    paintViews();
    return true;
}

// The formation is changed aside and takes the change only when every craft still has a finite position,
// velocity and attitude: a speed limit near the largest number cannot place craft, and the formation shown
// stays as it was, with the reason said.
template <typename Change>
bool MainDialog::replaceFormation(Change&& change)
{
    auto changed = std::make_unique<Formation>(formation);
    try {
        change(*changed);
        requireFiniteState(*changed, "after set-up");
    } catch (const ScenarioError& e) {
        message(oneLine(QString::fromStdString(e.what())));
        return false;
    }
    formation = *changed;
    return true;
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
    // The set-up of Setup Craft, checks and messages included, with the counterexample's geometry loaded
    // right after the placement.
    setupCraft(true);
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
    if (recorder.recording())
        finishRecording();
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
        // A step that would carry a craft past the largest number is not taken: the run stops where the
        // formation still has a place, as velmora-sim refuses to run such a scenario on.
        const Formation before = formation;
        segmentChanged = formation.step(stepSeconds);
        try {
            requireFiniteState(formation, ("at t = " + stepTimeText(formation.time()) + " s").c_str());
        } catch (const ScenarioError& e) {
            formation = before;
            stopRun();
            message(oneLine(QString::fromStdString(e.what())));
            break;
        }
        formationReadout.noteStepped(formation);
    }
    setup.noteStepped(formation);
    showReadout();
    paintViews();
    recordFrame();
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
