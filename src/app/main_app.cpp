#include "app/main_app.h"

#include "app/main_dialog.h"

#include <QCommandLineParser>
#include <QDir>
#include <QFile>
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
    } else if (parser.positionalArguments().size() > 1) {
        print(stderr, QStringLiteral("velmora: give at most one scenario file\n"));
        line.answered = 2;
    } else if (!beforeWindowSystem) {
        line.scenario = parser.positionalArguments().value(0);
        line.plans = parser.values(plan);
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
    dialog.exec();
    return 0;
}

}  // namespace velmora
