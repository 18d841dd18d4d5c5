#include "app/main_app.h"

#include "app/main_dialog.h"
#include "app/render_options.h"
#include "app/termination_signals.h"
#include "app/video_render.h"
#include "text/input_error.h"
#include "text/message_text.h"

#include <QCommandLineParser>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QIcon>
#include <QSocketNotifier>

#include <csignal>
#include <cstdio>
#include <unistd.h>

namespace velmora {
namespace {

void print(std::FILE* stream, const QString& text) { std::fputs(text.toLocal8Bit().constData(), stream); }

// What the command line asks for: an answer printed without any window (help, version, a mistake, with
// the exit status), a video to render, or the scenario file to start on (none for the default scene).
struct CommandLine {
    std::optional<int> answered;
    std::optional<RenderRequest> render;
    QString scenario;
    QStringList plans;
};

// Where a user keeps plan files for the algorithm list: $XDG_DATA_HOME/velmora/plans, by default
// ~/.local/share/velmora/plans.
QByteArray userPlanFolder()
{
    const QByteArray data = qgetenv("XDG_DATA_HOME");
    if (!data.isEmpty() && data.startsWith('/'))
        return data + "/velmora/plans";
    return qgetenv("HOME") + "/.local/share/velmora/plans";
}

// One line on stderr, whatever the message quotes.
void printFailure(const std::string& text)
{
    print(stderr, QString::fromStdString("velmora: " + printable(text) + "\n"));
}

// The options every Qt program takes (-platform, -display, ...), known here so that the whole command line
// is read before the window system is asked for: a mistake is said without one. The window system reads
// and removes them itself.
void addWindowSystemOptions(QCommandLineParser& parser)
{
    for (const char* name : {"style", "stylesheet", "qmljsdebugger", "platform", "platformpluginpath", "platformtheme",
                             "plugin", "qwindowgeometry", "qwindowicon", "qwindowtitle", "session", "display",
                             "geometry", "dialogs", "fontengine"}) {
        QCommandLineOption option(QString::fromLatin1(name), QString(), QStringLiteral("value"));
        option.setFlags(QCommandLineOption::HiddenFromHelp);
        parser.addOption(option);
    }
    for (const char* name : {"widgetcount", "reverse", "nograb", "dograb", "sync"}) {
        QCommandLineOption option(QString::fromLatin1(name));
        option.setFlags(QCommandLineOption::HiddenFromHelp);
        parser.addOption(option);
    }
}

CommandLine readCommandLine(const QStringList& arguments, bool beforeWindowSystem)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Shows a spacecraft formation in two 3D views and runs its initialization algorithm."));
    const QCommandLineOption help = parser.addHelpOption();
    const QCommandLineOption version = parser.addVersionOption();
    const QCommandLineOption plan(QStringLiteral("plan"),
                                  QStringLiteral("Add the plan file FILE to the algorithm list; may be given more "
                                                 "than once."),
                                  QStringLiteral("FILE"));
    parser.addOption(plan);
    parser.addPositionalArgument(QStringLiteral("scenario"),
                                 QStringLiteral("A scenario file (as velmora-sim run reads) to start on instead "
                                                "of the default scene."),
                                 QStringLiteral("[SCENARIO.json]"));
    addRenderOptions(parser);
    if (beforeWindowSystem)
        addWindowSystemOptions(parser);
    // parse() rather than process(), which would end the program from inside a library call.
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    CommandLine line;
    const bool parsed = parser.parse(arguments);
    if (parser.isSet(help) || parser.isSet(QStringLiteral("help-all"))) {
        print(stdout, parser.helpText());
        line.answered = 0;
    } else if (parser.isSet(version)) {
        print(stdout, QStringLiteral("velmora ") + QCoreApplication::applicationVersion() + QStringLiteral("\n"));
        line.answered = 0;
    } else if (!parsed) {
        print(stderr, QStringLiteral("velmora: ") + parser.errorText() + QStringLiteral(" (see velmora --help)\n"));
        line.answered = 2;
    } else {
        try {
            line.render = readRenderOptions(parser);
        } catch (const InputError& e) {
            printFailure(std::string(e.what()) + " (see velmora --help)");
            line.answered = 2;
            return line;
        }
        if (!line.render && parser.positionalArguments().size() > 1) {
            print(stderr, QStringLiteral("velmora: give at most one scenario file\n"));
            line.answered = 2;
        } else if (!beforeWindowSystem) {
            line.scenario = parser.positionalArguments().value(0);
            line.plans = parser.values(plan);
        }
    }
    return line;
}

// Draws the video on Qt's offscreen platform (images and the caption's font, no window system), with OpenGL
// from EGL: the same on a desktop, over ssh and in a batch job. A command line's -platform is not passed on.
int renderWithoutWindow(const RenderRequest& request, const std::vector<std::string>& command, char* program)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    // A rendering says what went wrong in one line of its own; Qt's notes about the platform around it (a
    // missing runtime folder) would only bury that line.
    qInstallMessageHandler([](QtMsgType type, const QMessageLogContext&, const QString& text) {
        if (type == QtCriticalMsg || type == QtFatalMsg)
            print(stderr, QStringLiteral("velmora: ") + text + QStringLiteral("\n"));
    });
    int argc = 1;
    char* argv[] = {program, nullptr};
    QGuiApplication app(argc, argv);
    TerminationSignals::install();
    const auto interrupted = [](int signal) {
        printFailure(std::string(signal == SIGINT ? "interrupted" : "terminated") +
                     "; the unfinished video was removed, any old one kept");
        return 128 + signal;
    };
    try {
        renderVideo(request, command);
        return 0;
    } catch (const RenderInterrupted& e) {
        return interrupted(e.signal);
    } catch (const std::exception& e) {
        if (const int signal = TerminationSignals::received())
            return interrupted(signal);
        printFailure(e.what());
        return dynamic_cast<const InputError*>(&e) != nullptr ? 2 : 1;
    }
}

}  // namespace

std::optional<int> MainApp::answerWithoutWindow(int& argc, char** argv)
{
    CommandLine line;
    {
        QCoreApplication app(argc, argv);
        QCoreApplication::setApplicationVersion(QStringLiteral(VELMORA_VERSION));
        line = readCommandLine(QCoreApplication::arguments(), true);
    }
    if (line.answered || !line.render)
        return line.answered;
    return renderWithoutWindow(*line.render, std::vector<std::string>(argv, argv + argc), argv[0]);
}

MainApp::MainApp(int& argc, char** argv) : QApplication(argc, argv), rawArguments_(argv, argv + argc)
{
    setApplicationVersion(QStringLiteral(VELMORA_VERSION));
}

QByteArray MainApp::rawArgument(const QString& decoded) const
{
    for (const std::string& raw : rawArguments_)
        if (QString::fromLocal8Bit(raw.c_str()) == decoded)
            return QByteArray::fromStdString(raw);
    return QFile::encodeName(decoded);
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
    // The user's plan folder first, in name order, then the plans the command line names. A file that is
    // no plan is said and left out.
    const QDir folder(QFile::decodeName(userPlanFolder()));
    for (const QString& name : folder.entryList({QStringLiteral("*.plan.json")}, QDir::Files | QDir::Readable,
                                                QDir::Name))
        dialog.addPlanFile(QFile::encodeName(folder.filePath(name)));
    for (const QString& plan : line.plans)
        dialog.addPlanFile(rawArgument(plan));
    // A file that cannot be opened has been reported, and the default scene stays. The file is opened by the
    // bytes it was given as, which need not be UTF-8.
    if (!line.scenario.isEmpty())
        dialog.openScenarioFile(rawArgument(line.scenario));
    // Ctrl+C in the terminal, or a kill, ends the program without leaving half a recording behind.
    TerminationSignals::install();
    int status = 0;
    QSocketNotifier signalled(TerminationSignals::notifier(), QSocketNotifier::Read);
    QObject::connect(&signalled, &QSocketNotifier::activated, &dialog, [&] {
        char byte = 0;
        [[maybe_unused]] const auto taken = ::read(TerminationSignals::notifier(), &byte, 1);
        status = 128 + TerminationSignals::received();
        dialog.discardRecording();
        dialog.reject();
    });
    dialog.exec();
    return status;
}

}  // namespace velmora
