#pragma once

#include "app/formation_drawables.h"

#include <QApplication>

#include <optional>
#include <string>
#include <vector>

namespace velmora {

// The program: one modal main dialog, and the program ends when it closes. It holds the dialog's two formation
// drawables.
class MainApp : public QApplication {
public:
    MainApp(int& argc, char** argv);

    // Answers --help, --version, a mistaken command line and --render (a video drawn off screen) before any
    // window system is needed, so they work without a display. The exit status when answered; nothing when
    // the program should start.
    static std::optional<int> answerWithoutWindow(int& argc, char** argv);

    // Runs the main dialog, on the scenario file the command line names if any, to its end and returns the
    // program's exit status.
    int initInstance();

private:
    // The bytes of the argument that reads as decoded: a file name the system gave in another encoding.
    QByteArray rawArgument(const QString& decoded) const;

    // Made before the main dialog and kept after it is gone, for the whole run.
    FormationDrawables drawables_;
    // The command line as the system gave it, before any decoding.
    std::vector<std::string> rawArguments_;
};

}  // namespace velmora
