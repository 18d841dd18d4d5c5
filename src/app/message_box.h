#pragma once

#include <QString>

#include <memory>

class QMessageBox;
class QWidget;

namespace velmora {

// The program's one kind of message: titled "Velmora", an OK button only, and the text shown as typed,
// never read as markup, since it quotes what the user entered.
std::unique_ptr<QMessageBox> makeMessageBox(QWidget* parent, const QString& text);

// text with every control character (a line break in a file name) shown as the replacement character, so
// that a message stays one line whatever it quotes.
QString oneLine(QString text);

// Shows the message modally and returns when the user has dismissed it.
void showMessageBox(QWidget* parent, const QString& text);

}  // namespace velmora
