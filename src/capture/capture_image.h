#pragma once

#include <QImage>
#include <QString>

namespace velmora {

// One captured view picture: 24-bit RGB pixels, kept only for the length of one capture.
class CaptureImage {
public:
    // A zero or negative size, or one too large to allocate, gives an image with no pixels that saves nothing.
    CaptureImage(int width, int height);

    int width() const { return pixels_.width(); }
    int height() const { return pixels_.height(); }
    const QImage& pixels() const { return pixels_; }

    // Stretches picture over the whole image; one to one when the sizes agree. A null picture leaves the
    // image as it was.
    void copyFrom(const QImage& picture);

    // Writes the image with the first installed encoder whose format name equals the path's extension,
    // ignoring case; a path without such an extension writes nothing. The file is replaced only once the
    // new content is completely written, so a failed save never costs the user the file it would replace.
    // When the file could not be written, *failure (if given) says why in one line; it stays empty when
    // there was nothing to write (no encoder for the name, no pixels).
    bool save(const QString& path, QString* failure = nullptr) const;

private:
    QImage pixels_;
};

}  // namespace velmora
