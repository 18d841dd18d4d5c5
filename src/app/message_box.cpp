#include "app/message_box.h"

#include <QMessageBox>

namespace velmora {

std::unique_ptr<QMessageBox> makeMessageBox(QWidget* parent, const QString& text)
{
    auto box = std::make_unique<QMessageBox>(QMessageBox::Warning, QStringLiteral("Velmora"), QString(),
        QMessageBox::Ok, parent);
    box->setTextFormat(Qt::PlainText);
    box->setText(text);
    return box;
}

void showMessageBox(QWidget* parent, const QString& text) { makeMessageBox(parent, text)->exec(); }

QString oneLine(QString text)
{
    for (QChar& c : text)
        if (c.unicode() < 0x20 || c.unicode() == 0x7f)
            c = QChar(0xfffd);
    return text;
}

}  // namespace velmora
