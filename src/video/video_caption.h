#pragma once

#include <QImage>
#include <QString>

namespace velmora {

// Writes a one-line caption into the frame's lower left corner: light text on a dark band that keeps it legible
// over whatever the view shows there, sized to the frame's height so it reads alike at any resolution.
void drawCaption(QImage& frame, const QString& text);

}  // namespace velmora
