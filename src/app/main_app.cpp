#include "app/main_app.h"

#include "app/main_dialog.h"

#include <QCommandLineParser>
#include <QIcon>

#include <cstdio>

namespace velmora {
namespace {

void print(std::FILE* stream, const QString& text) { std::fputs(text.toLocal8Bit().constData(), stream); }

// What the command line asks for: an answer printed without any window (help, version, a mistake, with
// the exit status), or the scenario file to start on (none for the default scene).
struct CommandLine {
    std::optional<int> answered;
    QString scenario;
};

// Before the window system is up, Qt's own options (-platform, -display, ...) are not known yet, so only
// help and version are answered then; everything else waits for the application.
CommandLine readCommandLine(const QStringList& arguments, bool beforeWindowSystem)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Shows a spacecraft formation in two 3D views and runs its initialization algorithm."));
    const QCommandLineOption help = parser.addHelpOption();
    const QCommandLineOption version = parser.addVersionOption();
    parser.addPositionalArgument(QStringLiteral("scenario"),
                                 QStringLiteral("A scenario file (as velmora-sim run reads) to start on instead "
                                                "of the default scene."),
                                 QStringLiteral("[SCENARIO.json]"));
    // parse() rather than process(), which would end the program from inside a library call.
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    CommandLine line;
    const bool parsed = parser.parse(arguments);
    if (parser.isSet(help)) {
        print(stdout, parser.helpText());
        line.answered = 0;
    } else if (parser.isSet(version)) {
        print(stdout, QStringLiteral("velmora ") + QCoreApplication::applicationVersion() + QStringLiteral("\n"));
        line.answered = 0;
    } else if (beforeWindowSystem) {
        return line;
    } else if (!parsed) {
        print(stderr, QStringLiteral("velmora: ") + parser.errorText() + QStringLiteral("\n"));
        line.answered = 2;
    } else if (parser.positionalArguments().size() > 1) {
        print(stderr, QStringLiteral("velmora: give at most one scenario file\n"));
        line.answered = 2;
    } else {
        line.scenario = parser.positionalArguments().value(0);
    }
    return line;
}

}  // namespace

std::optional<int> MainApp::answerWithoutWindow(int& argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationVersion(QStringLiteral(VELMORA_VERSION));
    return readCommandLine(QCoreApplication::arguments(), true).answered;
}

MainApp::MainApp(int& argc, char** argv) : QApplication(argc, argv)
{
    setApplicationVersion(QStringLiteral(VELMORA_VERSION));
}

int MainApp::initInstance()
{
    const CommandLine line = readCommandLine(arguments(), false);
    if (line.answered)
        return *line.answered;
    // Names where settings would live; the program keeps none.
    setOrganizationName(QStringLiteral("Local AppWizard-Generated Applications"));
    setWindowIcon(QIcon(QStringLiteral(":/velmora/velmora.png")));
    MainDialog dialog(drawables_);
    // A file that cannot be opened has been reported, and the default scene stays.
    if (!line.scenario.isEmpty())
        dialog.openScenario(line.scenario);
    dialog.exec();
    return 0;
}

}  // namespace velmora
