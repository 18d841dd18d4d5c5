#pragma once

#include <QString>
#include <QtGlobal>

#include <array>
#include <memory>

class QGuiApplication;

namespace velmora {

// Gives a program without a window what text drawing needs: a QGuiApplication on the offscreen platform
// for as long as the object lives, when the program has none of its own. Qt's chatter about the missing
// desktop session (no XDG runtime folder and the like) is dropped meanwhile, so stderr stays for our own
// messages. Destroyed before Qt's own globals, unlike an application object of static storage duration.
class OffscreenGui {
public:
    OffscreenGui();
    ~OffscreenGui();
    OffscreenGui(const OffscreenGui&) = delete;
    OffscreenGui& operator=(const OffscreenGui&) = delete;

private:
    int argc_ = 0;
    std::array<char*, 4> argv_{};
    std::unique_ptr<QGuiApplication> app_;
    QtMessageHandler previousHandler_ = nullptr;
};

// The family of the DejaVu Sans that fonts-dejavu-core installs, so every machine draws the same glyphs, as
// the system's font configuration finds it. Needs a QGuiApplication; throws std::runtime_error when the font
// is not installed.
QString plotFontFamily();

}  // namespace velmora
