#pragma once

#include <QPushButton>

namespace velmora {

// A push button whose text wraps onto further lines when it does not fit on one.
class MultiLineButton : public QPushButton {
public:
    MultiLineButton(const QString& text, QWidget* parent);

protected:
    void paintEvent(QPaintEvent* event) override;
};

}  // namespace velmora
