#pragma once

#include <QApplication>

namespace velmora {

// The program: one modal main dialog, and the program ends when it closes.
class MainApp : public QApplication {
public:
    MainApp(int& argc, char** argv);

    // Runs the main dialog to its end and returns the program's exit status.
    int initInstance();
};

}  // namespace velmora
