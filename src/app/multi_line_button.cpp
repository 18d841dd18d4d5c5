#include "app/multi_line_button.h"

#include <QStyleOptionButton>
#include <QStylePainter>

namespace velmora {

MultiLineButton::MultiLineButton(const QString& text, QWidget* parent) : QPushButton(text, parent) {}

void MultiLineButton::paintEvent(QPaintEvent*)
{
    QStylePainter painter(this);
    QStyleOptionButton option;
    initStyleOption(&option);
    option.text.clear();
    painter.drawControl(QStyle::CE_PushButton, option);
    const QRect contents = style()->subElementRect(QStyle::SE_PushButtonContents, &option, this);
    painter.drawItemText(contents, Qt::AlignCenter | Qt::TextWordWrap | Qt::TextShowMnemonic, palette(),
        isEnabled(), text(), QPalette::ButtonText);
}

}  // namespace velmora
