#include "plot/offscreen_gui.h"

#include <QFontDatabase>
#include <QGuiApplication>

#include <stdexcept>

namespace velmora {
namespace {

QtMessageHandler forwardTo = nullptr;

void dropChatter(QtMsgType type, const QMessageLogContext& context, const QString& message)
{
    if ((type == QtCriticalMsg || type == QtFatalMsg) && forwardTo)
        forwardTo(type, context, message);
}

}  // namespace

OffscreenGui::OffscreenGui()
{
    if (QGuiApplication::instance())
        return;
    previousHandler_ = qInstallMessageHandler(dropChatter);
    forwardTo = previousHandler_;
    // The application keeps argc and argv for its lifetime and takes the options it uses out of them.
    static char name[] = "velmora-sim";
    static char platformOption[] = "-platform";
    static char platform[] = "offscreen";
    argv_ = {name, platformOption, platform, nullptr};
    argc_ = 3;
    app_ = std::make_unique<QGuiApplication>(argc_, argv_.data());
}

OffscreenGui::~OffscreenGui()
{
    if (!app_)
        return;
    app_.reset();
    qInstallMessageHandler(previousHandler_);
    forwardTo = nullptr;
}

QString plotFontFamily()
{
    // Qt's font database holds what fontconfig finds, wherever the system keeps the files.
    const QString family = QStringLiteral("DejaVu Sans");
    if (!QFontDatabase::hasFamily(family))
        throw std::runtime_error("the plot font DejaVu Sans is not installed (Debian package fonts-dejavu-core)");
    return family;
}

}  // namespace velmora
