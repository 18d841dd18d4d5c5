#include "video/video_caption.h"

#include <QFont>
#include <QFontMetrics>
#include <QPainter>

#include <algorithm>

namespace velmora {

void drawCaption(QImage& frame, const QString& text)
{
    if (frame.isNull() || text.isEmpty())
        return;
    QFont font(QStringLiteral("DejaVu Sans"));
    // A 720-line frame gets 24-pixel text, as a subtitle would; never below what a small GIF can still show.
    font.setPixelSize(std::max(10, frame.height() / 30));
    const QFontMetrics metrics(font);
    const int margin = font.pixelSize() / 2;
    const QRect textBox = metrics.boundingRect(text);
    const QRect band(margin, frame.height() - margin - metrics.height() - margin,
                     std::min(frame.width() - 2 * margin, textBox.width() + 2 * margin), metrics.height() + margin);
    QPainter painter(&frame);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);
    painter.fillRect(band, QColor(0, 0, 0, 160));
    painter.setFont(font);
    painter.setPen(QColor(235, 235, 235));
    painter.drawText(band.adjusted(margin, 0, -margin, 0), Qt::AlignLeft | Qt::AlignVCenter, text);
}

}  // namespace velmora
