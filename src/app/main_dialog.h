#pragma once

#include "app/dialog_controls.h"
#include "app/formation_drawables.h"
#include "app/formation_readout.h"
#include "app/run_recorder.h"
#include "app/setup_record.h"
#include "sim/formation.h"
#include "scenario/scenario.h"
#include "view/camera_controller.h"
#include "view/gl_view.h"
#include "view/mouse_handler_chain.h"

#include <QDialog>

#include <functional>
#include <memory>
#include <vector>

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace velmora {

// The window the user works in: the formation's parameters, its set-up and run commands, and the two
// views that show it. Runs are driven by a 100 ms timer on the interface thread, so a tick never overlaps
// a command.
class MainDialog : public QDialog {
    Q_OBJECT

public:
    // Control ids of the dialog's layout.
    enum ControlId {
        okId = 1,
        cancelId = 2,
        leftViewId = 1000,
        countBoxId = 1001,
        rightViewId = 1002,
        algorithmListId = 1003,
        setupCraftId = 1004,
        runAlgorithmId = 1005,
        fovBoxId = 1006,
        tiltBoxId = 1007,
        maxSpeedBoxId = 1008,
        setupCounterexampleId = 1009,
        captureRightId = 1010,
        captureLeftId = 1011,
        runOneStepId = 1012,
    };

    // Shows a message to the user and returns once it has been acknowledged.
    using MessageSink = std::function<void(const QString& text)>;
    // Asks the user where to save a capture or a scenario; empty when the user cancelled.
    using SaveAsPrompt = std::function<QString()>;

    // The dialog draws its formation through drawables, which must outlive it.
    explicit MainDialog(FormationDrawables& drawables);
    ~MainDialog() override;

    void OnSetupCraft();
    void OnSetupCounterexample();
    void OnRunAlgorithm();
    void OnRunOneStep();
    // Advances a run by one tick; ticks of any timer other than the run's are ignored.
    void OnTimer(int timerId);
    void OnAbout();
    // Save what the left or the right view shows to a file the user names.
    void OnCaptureLeft();
    void OnCaptureRight();
    // Save the formation as it was set up (with dragged craft where they were dropped) to a file the user
    // names, as a scenario velmora-sim runs step for step like the dialog.
    void OnSaveScenario();
    // Open a scenario file the user picks.
    void OnOpenScenario();
    // Record what the left view shows, from now until the run stops, to a video file the user names; starts a
    // run when none is going.
    void OnRecordRun();
    // Both cameras back to where they started: looking at the middle of the box from 750 away.
    void OnResetViews();

    // Sets the formation up from a scenario file, as velmora-sim run does, and shows its values in the
    // boxes. A file that cannot be read, is no regular file or is no scenario is reported and changes nothing.
    bool openScenario(const QString& path);
    // The same for a path given as the system's bytes, which need not be UTF-8.
    bool openScenarioFile(const QByteArray& path);
    // Adds the plan file at path to the algorithm list after the five built-in plans (or reads it again when
    // it is listed already) and returns its entry's index; -1, with the reason said, for a file that is no
    // plan.
    int addPlanFile(const QByteArray& path);
    // False, with the reason reported, when the file could not be written; an old file stays as it was.
    bool saveScenario(const QString& path);
    // Starts recording into path (its extension picks the format). False, with the reason reported, when the
    // video cannot be made there; nothing is recording then.
    bool recordRun(const QString& path);
    bool isRecording() const { return recorder.recording(); }
    // Drops a recording in progress and what was written of it, as when the program is asked to end.
    void discardRecording() { recorder.discard(); }

    void setMessageSink(MessageSink sink) { messageSink = std::move(sink); }
    void setSaveAsPrompt(SaveAsPrompt prompt) { saveAsPrompt = std::move(prompt); }
    void setSaveScenarioPrompt(SaveAsPrompt prompt) { saveScenarioPrompt = std::move(prompt); }
    void setOpenScenarioPrompt(SaveAsPrompt prompt) { openScenarioPrompt = std::move(prompt); }
    void setRecordRunPrompt(SaveAsPrompt prompt) { recordRunPrompt = std::move(prompt); }

    const Formation& formationState() const { return formation; }
    // The parameters, algorithm and count of the last set-up in the user's units: what the boxes read, or what
    // the opened scenario file said.
    const Scenario& scenarioState() const { return scenario; }
    bool isRunning() const { return running; }
    bool isSingleStep() const { return singleStep; }
    // The id of the run's timer, 0 while no run is going.
    int runTimerId() const { return runTimer; }
    GLView& leftGLView() { return leftView; }
    GLView& rightGLView() { return rightView; }
    const CameraController& leftCameraController() const { return leftCamera; }
    const CameraController& rightCameraController() const { return rightCamera; }
    const MouseHandlerChain& leftMouseChain() const { return leftChain; }
    const MouseHandlerChain& rightMouseChain() const { return rightChain; }
    const FormationDrawable& leftFormationDrawable() const { return drawables.left; }
    const FormationDrawable& rightFormationDrawable() const { return drawables.right; }
    // The control with that id; for a view, the widget that holds it.
    QWidget* control(int id) const;
    QComboBox* algorithmListBox() const { return controls.algorithmList; }
    QLineEdit* countEdit() const { return controls.countBox; }
    QLineEdit* fovEdit() const { return controls.fovBox; }
    QLineEdit* tiltEdit() const { return controls.tiltBox; }
    QLineEdit* maxSpeedEdit() const { return controls.maxSpeedBox; }
    QPushButton* captureLeftButton() const { return controls.captureLeft; }
    QPushButton* captureRightButton() const { return controls.captureRight; }
    QLabel* readoutLabel() const { return controls.readout; }
    const SetupRecord& setupRecord() const { return setup; }

    // Closing stops the run, which completes a recording.
    void done(int result) override;

protected:
    void timerEvent(QTimerEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void connectControls();
    void OnInitDialog();
    void wireCamerasAndMouse();
    void showFormationInViews();
    void toggleRun(bool singleStepRun);
    void stopRun();
    void paintViews();
    // Setup Craft's work, with the counterexample's geometry loaded after the placement when asked. False
    // when the set-up was refused and nothing changed.
    bool setupCraft(bool counterexample);
    template <typename Change>
    bool replaceFormation(Change&& change);
    // The list entry of plan, added when no entry has it yet; path, when known, is where it was read from.
    int planEntry(std::shared_ptr<const PlanFile> plan, const QByteArray& path);

    // The plan files of the algorithm list, in the order of its entries after the five built-in plans.
    struct PlanEntry {
        std::shared_ptr<const PlanFile> plan;
        QByteArray path;
    };
    std::vector<PlanEntry> plans;
    void capture(GLView& view);
    void afterSetup();
    void showReadout();
    void recordFrame();
    void finishRecording();

    // Each box's number as typed (angles in degrees), or its fallback after a message.
    double readFovHalfAngle();
    double readTiltAngle();
    double readMaxSpeed();
    double readParameter(const QLineEdit* box, const char* tail, double fallback, bool angle = false);
    void message(const QString& text);

    FormationDrawables& drawables;
    GLView leftView;
    Formation formation;
    Scenario scenario;
    CameraController leftCamera;
    CameraController rightCamera;
    MouseHandlerChain leftChain;
    MouseHandlerChain rightChain;
    bool running = false;
    bool singleStep = false;
    int runTimer = 0;
    DialogControls controls;
    MessageSink messageSink;
    SaveAsPrompt saveAsPrompt;
    SaveAsPrompt saveScenarioPrompt;
    SaveAsPrompt openScenarioPrompt;
    SaveAsPrompt recordRunPrompt;
    RunRecorder recorder;
    SetupRecord setup;
    FormationReadout formationReadout;
    QLabel* readout = nullptr;
    GLView rightView;
};

}  // namespace velmora
