#include "app/about_dialog.h"

#include "app/dialog_units.h"

#include <QLabel>
#include <QPushButton>

namespace velmora {
namespace {

constexpr int iconSize = 32;

}  // namespace

AboutDialog::AboutDialog(QWidget* parent) : QDialog(parent)
{
    setWindowTitle(QStringLiteral("About Velmora"));
    const DialogUnits units(font());
    resize(units.x(235), units.y(55));

    auto* icon = new QLabel(this);
    icon->setPixmap(windowIcon().pixmap(iconSize, iconSize));
    icon->setGeometry(units.x(11), units.y(17), iconSize, iconSize);

    auto* version = new QLabel(QStringLiteral("Velmora Version 1.0"), this);
    version->setGeometry(units.rect(40, 10, 119, 8));

    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setGeometry(units.rect(178, 7, 50, 16));
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
}

}  // namespace velmora
