#include "app/main_app.h"

#include "app/main_dialog.h"

#include <QIcon>

namespace velmora {

MainApp::MainApp(int& argc, char** argv) : QApplication(argc, argv) {}

int MainApp::initInstance()
{
    // Names where settings would live; the program keeps none.
    setOrganizationName(QStringLiteral("Local AppWizard-Generated Applications"));
    setWindowIcon(QIcon(QStringLiteral(":/velmora/velmora.png")));
    MainDialog dialog;
    dialog.exec();
    return 0;
}

}  // namespace velmora
