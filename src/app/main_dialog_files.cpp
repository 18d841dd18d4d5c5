// The dialog's commands on files: opening a scenario (menu, drop, the command line), plan files for the
// algorithm list, Save Scenario, and Record Run.
#include "app/main_dialog.h"

#include "app/message_box.h"
#include "files/replacing_file.h"
#include "scenario/scenario_file.h"
#include "sim/plan_algorithm.h"
#include "text/json_writer.h"
#include "text/message_text.h"

#include <QComboBox>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>

#include <sys/stat.h>

#include <algorithm>
#include <exception>
#include <memory>

namespace velmora {
namespace {

// A number for a box, written shortest so that reading it back gives the same value.
QString boxNumber(double value) { return QString::number(value, 'g', QLocale::FloatingPointShortest); }

// The reason in velmora-sim's own words, with the file named unless the reason already names it.
QString scenarioFailure(const QString& path, const QString& reason)
{
    if (reason.contains(path))
        return oneLine(reason);
    return oneLine(QLatin1Char('"') + path + QStringLiteral("\": ") + reason);
}

// The local file of a drag, as the system's bytes, when it is one scenario or plan file (".json", of which
// ".plan.json" is a plan). The bytes come from the URL's own percent-encoding, so a name that is not UTF-8
// still names its file.
QByteArray droppedScenario(const QMimeData* data)
{
    if (data == nullptr || !data->hasUrls() || data->urls().size() != 1 || !data->urls().front().isLocalFile())
        return {};
    const QByteArray path = QByteArray::fromPercentEncoding(data->urls().front().path(QUrl::FullyEncoded).toLatin1());
    return path.toLower().endsWith(".json") ? path : QByteArray();
}

bool isPlanFile(const QByteArray& path) { return path.toLower().endsWith(".plan.json"); }

// What a path names when it is not a file to read a scenario from, for a message; nothing for a regular file
// or one that does not exist (the reader says that).
const char* notAFile(const QByteArray& path)
{
    struct stat info {};
    if (::stat(path.constData(), &info) != 0 || S_ISREG(info.st_mode))
        return nullptr;
    if (S_ISDIR(info.st_mode))
        return "a directory";
    if (S_ISFIFO(info.st_mode))
        return "a named pipe";
    if (S_ISSOCK(info.st_mode))
        return "a socket";
    return "a device";
}

}  // namespace

void MainDialog::dragEnterEvent(QDragEnterEvent* event)
{
    if (!droppedScenario(event->mimeData()).isEmpty())
        event->acceptProposedAction();
}

void MainDialog::dropEvent(QDropEvent* event)
{
    const QByteArray path = droppedScenario(event->mimeData());
    if (path.isEmpty())
        return;
    event->acceptProposedAction();
    if (isPlanFile(path)) {
        if (const int index = addPlanFile(path); index >= 0)
            controls.algorithmList->setCurrentIndex(index);
        return;
    }
    openScenarioFile(path);
}

// The views are windows of their own: a file dragged over one reaches it, not the dialog, so the dialog
// watches them and takes the drop as its own.
bool MainDialog::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == &leftView || watched == &rightView) {
        if (event->type() == QEvent::DragEnter || event->type() == QEvent::DragMove) {
            auto* drag = static_cast<QDragMoveEvent*>(event);
            if (droppedScenario(drag->mimeData()).isEmpty())
                drag->ignore();
            else
                drag->acceptProposedAction();
            return true;
        }
        if (event->type() == QEvent::Drop) {
            dropEvent(static_cast<QDropEvent*>(event));
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

int MainDialog::addPlanFile(const QByteArray& path)
{
    try {
        auto plan = std::make_shared<const PlanFile>(PlanFile::load(path.toStdString()));
        return planEntry(std::move(plan), path);
    } catch (const PlanError& e) {
        message(oneLine(QString::fromStdString(utf8Text(e.what()))));
        return -1;
    }
}

int MainDialog::planEntry(std::shared_ptr<const PlanFile> plan, const QByteArray& path)
{
    // The same file again is read again; the same plan from elsewhere is the entry it already has.
    auto it = std::find_if(plans.begin(), plans.end(), [&](const PlanEntry& e) {
        return (!path.isEmpty() && e.path == path) || e.plan->sha256() == plan->sha256();
    });
    const QString text = QString::fromStdString(plan->name());
    if (it == plans.end()) {
        plans.push_back({std::move(plan), path});
        controls.algorithmList->addItem(text);
        return planAlgorithmCount + static_cast<int>(plans.size()) - 1;
    }
    const int index = planAlgorithmCount + static_cast<int>(it - plans.begin());
    it->plan = std::move(plan);
    if (!path.isEmpty())
        it->path = path;
    controls.algorithmList->setItemText(index, text);
    return index;
}

void MainDialog::OnOpenScenario()
{
    const QString path = openScenarioPrompt();
    if (!path.isEmpty())
        openScenario(path);
}

bool MainDialog::openScenario(const QString& path) { return openScenarioFile(QFile::encodeName(path)); }

bool MainDialog::openScenarioFile(const QByteArray& path)
{
    const QString shown = QFile::decodeName(path);
    // Reading a pipe would wait for a writer with no window to show for it.
    if (const char* kind = notAFile(path)) {
        message(oneLine(QStringLiteral("Cannot open \"") + shown + QStringLiteral("\": it is ") +
                        QLatin1String(kind) + QStringLiteral(", not a scenario file")));
        return false;
    }
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
        message(scenarioFailure(shown, QString::fromStdString(utf8Text(e.what()))));
        return false;
    }
    stopRun();
    formation = *loaded;
    this->scenario = scenario;
    controls.countBox->setText(QString::number(scenario.count));
    controls.fovBox->setText(boxNumber(scenario.fovDeg));
    controls.tiltBox->setText(boxNumber(scenario.tiltDeg));
    controls.maxSpeedBox->setText(boxNumber(scenario.maxSpeed));
    if (scenario.plan)
        controls.algorithmList->setCurrentIndex(planEntry(scenario.plan, {}));
    else
        controls.algorithmList->setCurrentIndex(
            scenario.algorithm >= 0 && scenario.algorithm < planAlgorithmCount ? scenario.algorithm : -1);
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

void MainDialog::OnRecordRun()
{
    const QString path = recordRunPrompt();
    if (!path.isEmpty())
        recordRun(path);
}

bool MainDialog::recordRun(const QString& path)
{
    if (recorder.recording())
        return false;
    if (leftView.lastFrame().isNull())
        leftView.paint();
    const QImage& shown = leftView.lastFrame();
    if (shown.isNull()) {
        message(QStringLiteral("Nothing to record: the left view is not shown"));
        return false;
    }
    try {
        recorder.start(QFile::encodeName(path).toStdString(), shown.size(), setup.scenario(), leftCamera.frame,
                       formation.time());
        recorder.addFrame(shown, controls.readout->text(), formation.time());
    } catch (const std::exception& e) {
        recorder.discard();
        message(oneLine(QStringLiteral("Could not record to \"") + path + QStringLiteral("\": ") +
                        QString::fromStdString(e.what())));
        return false;
    }
    if (!running)
        toggleRun(false);
    return true;
}

void MainDialog::recordFrame()
{
    if (!recorder.recording())
        return;
    try {
        recorder.addFrame(leftView.lastFrame(), controls.readout->text(), formation.time());
    } catch (const std::exception& e) {
        message(oneLine(QStringLiteral("Recording stopped: ") + QString::fromStdString(e.what())));
    }
}

void MainDialog::finishRecording()
{
    try {
        recorder.finish();
    } catch (const std::exception& e) {
        message(oneLine(QStringLiteral("Could not save the recording: ") + QString::fromStdString(e.what())));
    }
}

}  // namespace velmora
