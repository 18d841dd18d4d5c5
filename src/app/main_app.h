#pragma once

#include "app/formation_drawables.h"

#include <QApplication>

#include <optional>

namespace velmora {

// The program: one modal main dialog, and the program ends when it closes. It holds the dialog's two formation
// drawables.
class MainApp : public QApplication {
public:
    MainApp(int& argc, char** argv);

    // Answers --help, --version and a mistaken command line before any window system is needed, so they
    // work without a display. The exit status when answered; nothing when the program should start.
    static std::optional<int> answerWithoutWindow(int& argc, char** argv);

    // Runs the main dialog, on the scenario file the command line names if any, to its end and returns the
    // program's exit status.
    int initInstance();

private:
    // Made before the main dialog and kept after it is gone, for the whole run.
    FormationDrawables drawables_;
};

}  // namespace velmora
