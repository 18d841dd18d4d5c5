#include "app/dialog_controls.h"

#include "app/dialog_units.h"
#include "app/multi_line_button.h"
#include "sim/plan_algorithm.h"
#include "view/gl_view.h"

#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include <algorithm>

namespace velmora {
namespace {

// A label keeps its place but grows, towards its right limit first and then downwards, where this font
// needs more room than the layout gives, so its text is never cut off.
void addLabel(const QString& text, const QRect& rect, int rightLimit, QWidget* parent)
{
    auto* label = new QLabel(text, parent);
    label->setWordWrap(true);
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    const QFontMetrics metrics(label->font());
    const auto neededHeight = [&](int width) {
        return metrics.boundingRect(QRect(0, 0, width, 1 << 20), Qt::TextWordWrap, text).height();
    };
    int width = rect.width();
    if (neededHeight(width) > rect.height())
        width = std::max(width, std::min(metrics.horizontalAdvance(text) + 1, rightLimit - rect.x()));
    label->setGeometry(rect.x(), rect.y(), width, std::max(rect.height(), neededHeight(width)));
}

void addGroup(const QString& title, const QRect& rect, QWidget* parent)
{
    auto* group = new QGroupBox(title, parent);
    group->setGeometry(rect);
}

QLineEdit* addEdit(const QRect& rect, QWidget* parent)
{
    auto* edit = new QLineEdit(parent);
    edit->setGeometry(rect);
    return edit;
}

QPushButton* addButton(const QString& text, const QRect& rect, QWidget* parent)
{
    auto* button = new QPushButton(text, parent);
    button->setGeometry(rect);
    return button;
}

QWidget* addView(GLView& view, const QRect& rect, QWidget* parent)
{
    QWidget* frame = QWidget::createWindowContainer(&view, parent);
    frame->setGeometry(rect);
    frame->setFocusPolicy(Qt::NoFocus);
    return frame;
}

}  // namespace

DialogControls::DialogControls(QWidget* dialog, GLView& leftView, GLView& rightView)
{
    const DialogUnits units(dialog->font());
    // The controls sit at fixed places, so the dialog keeps its layout size: a smaller one would hide them.
    dialog->setFixedSize(units.x(674), units.y(379));

    // Created in tab order; a group box comes before the controls drawn over it.
    okButton = addButton(QStringLiteral("OK"), units.rect(617, 7, 50, 16), dialog);
    okButton->setDefault(true);
    cancelButton = addButton(QStringLiteral("Cancel"), units.rect(617, 25, 50, 16), dialog);
    leftFrame = addView(leftView, units.rect(15, 14, 259, 278), dialog);
    countBox = addEdit(units.rect(21, 337, 39, 16), dialog);
    addLabel(QStringLiteral("Num Spacecraft"), units.rect(69, 339, 52, 9), units.x(129), dialog);
    addGroup(QStringLiteral("Formation Initialization Algorithm"), units.rect(325, 322, 131, 40), dialog);

    algorithmList = new QComboBox(dialog);
    algorithmList->setEditable(true);
    algorithmList->setInsertPolicy(QComboBox::NoInsert);
    for (std::string_view text : planAlgorithmDisplayTexts)
        algorithmList->addItem(QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())));
    algorithmList->setCurrentIndex(-1);
    // The layout gives the height of the open list; the closed box is as tall as its font needs.
    const QRect listRect = units.rect(336, 336, 112, 77);
    algorithmList->setGeometry(listRect.x(), listRect.y(), listRect.width(), algorithmList->sizeHint().height());

    setupCraftButton = addButton(QStringLiteral("Setup Craft"), units.rect(132, 338, 68, 14), dialog);
    runAlgorithmButton = new MultiLineButton(QStringLiteral("Run Algorithm"), dialog);
    runAlgorithmButton->setGeometry(units.rect(574, 323, 47, 39));
    addGroup(QStringLiteral("Geometry Parameters"), units.rect(560, 49, 107, 160), dialog);
    const int groupInside = units.x(560 + 107 - 4);
    fovBox = addEdit(units.rect(569, 74, 40, 14), dialog);
    addLabel(QStringLiteral("Sensor FOV Half-Angle"), units.rect(620, 71, 40, 23), groupInside, dialog);
    tiltBox = addEdit(units.rect(570, 127, 40, 14), dialog);
    addLabel(QStringLiteral("Tilt Angle"), units.rect(621, 124, 38, 21), groupInside, dialog);
    maxSpeedBox = addEdit(units.rect(571, 170, 40, 14), dialog);
    addLabel(QStringLiteral("Max Speed"), units.rect(623, 167, 35, 18), groupInside, dialog);
    setupCounterexampleButton =
        addButton(QStringLiteral("Setup Counterexample"), units.rect(221, 337, 86, 14), dialog);
    rightFrame = addView(rightView, units.rect(284, 14, 259, 278), dialog);
    captureRight = addButton(QStringLiteral("Capture"), units.rect(390, 300, 78, 14), dialog);
    captureLeft = addButton(QStringLiteral("Capture"), units.rect(95, 300, 78, 14), dialog);
    runOneStepButton = new MultiLineButton(QStringLiteral("Run One Step"), dialog);
    runOneStepButton->setGeometry(units.rect(515, 323, 47, 39));

    // In the free row beside the right Capture button, ending under the Geometry Parameters box.
    readout = new QLabel(dialog);
    readout->setGeometry(units.rect(476, 302, 191, 10));
    readout->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
}

}  // namespace velmora
