#pragma once

#include <QRect>

class QFont;

namespace velmora {

// Dialog layouts are given in dialog units, which scale with the dialog's font: a horizontal unit is a
// quarter of the font's average character width, a vertical unit an eighth of its height.
class DialogUnits {
public:
    explicit DialogUnits(const QFont& font);

    int x(int units) const;
    int y(int units) const;
    QRect rect(int x, int y, int width, int height) const;

private:
    int baseWidth_;
    int baseHeight_;
};

}  // namespace velmora
