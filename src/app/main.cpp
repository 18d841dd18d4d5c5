#include "app/main_app.h"

int main(int argc, char** argv)
{
    if (const std::optional<int> status = velmora::MainApp::answerWithoutWindow(argc, argv))
        return *status;
    velmora::MainApp app(argc, argv);
    return app.initInstance();
}
