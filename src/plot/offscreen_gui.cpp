#include "plot/offscreen_gui.h"

#include <QFontDatabase>
#include <QGuiApplication>

#include <stdexcept>
#include <string>

namespace velmora {
namespace {

const char* const fontFiles[] = {"/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf",
                                 "/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf"};

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
    // Application fonts belong to one application object: load them again for a new one.
    static const QCoreApplication* loadedFor = nullptr;
    static QString family;
    if (loadedFor == QCoreApplication::instance() && !family.isEmpty())
        return family;
    family.clear();
    for (const char* file : fontFiles) {
        const int id = QFontDatabase::addApplicationFont(QString::fromUtf8(file));
        if (id < 0)
            throw std::runtime_error(std::string("cannot load the plot font ") + file +
                                     " (Debian package fonts-dejavu-core)");
        if (family.isEmpty())
            family = QFontDatabase::applicationFontFamilies(id).value(0);
    }
    loadedFor = QCoreApplication::instance();
    return family;
}

}  // namespace velmora
