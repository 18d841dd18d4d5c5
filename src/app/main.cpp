#include "app/main_app.h"

int main(int argc, char** argv)
{
    velmora::MainApp app(argc, argv);
    return app.initInstance();
}
