#include "app/main_app.h"

#include <csignal>

int main(int argc, char** argv)
{
    // Under a file-size limit a capture then fails like one on a full disk, instead of the signal ending
    // the program and the user's scene with it.
    std::signal(SIGXFSZ, SIG_IGN);
    if (const std::optional<int> status = velmora::MainApp::answerWithoutWindow(argc, argv))
        return *status;
    velmora::MainApp app(argc, argv);
    return app.initInstance();
}
