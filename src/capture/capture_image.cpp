#include "capture/capture_image.h"

#include "files/replacing_file.h"

#include <QBuffer>
#include <QByteArray>
#include <QFile>
#include <QImageWriter>

namespace velmora {

namespace {

// From the last "." of the last path component to the end, without the dot; empty when there is none.
QString extensionOf(const QString& path)
{
    const qsizetype componentStart = path.lastIndexOf(u'/') + 1;
    const qsizetype dot = path.lastIndexOf(u'.');
    if (dot < componentStart) {
        return {};
    }
    return path.mid(dot + 1);
}

// The first installed encoder, in the writer's own order, whose format name is the extension.
QByteArray encoderFor(const QString& extension)
{
    if (extension.isEmpty()) {
        return {};
    }
    const QList<QByteArray> formats = QImageWriter::supportedImageFormats();
    for (const QByteArray& format : formats) {
        if (QString::fromLatin1(format).compare(extension, Qt::CaseInsensitive) == 0) {
            return format;
        }
    }
    return {};
}

}  // namespace

CaptureImage::CaptureImage(int width, int height)
{
    if (width <= 0 || height <= 0) {
        return;
    }
    pixels_ = QImage(width, height, QImage::Format_RGB888);
    // Fresh image memory holds garbage; a view that has not drawn yet captures as black.
    if (!pixels_.isNull()) {
        pixels_.fill(Qt::black);
    }
}

void CaptureImage::copyFrom(const QImage& picture)
{
    if (picture.isNull() || pixels_.isNull()) {
        return;
    }
    const QImage source = picture.size() == pixels_.size()
        ? picture
        : picture.scaled(pixels_.size(), Qt::IgnoreAspectRatio, Qt::FastTransformation);
    pixels_ = source.convertToFormat(QImage::Format_RGB888);
}

bool CaptureImage::save(const QString& path, QString* failure) const
{
    const QByteArray format = encoderFor(extensionOf(path));
    if (format.isEmpty() || pixels_.isNull()) {
        return false;
    }
    QByteArray encoded;
    QBuffer buffer(&encoded);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, format);
    if (!writer.write(pixels_)) {
        if (failure != nullptr) {
            *failure = writer.errorString();
        }
        return false;
    }
    try {
        ReplacingFile file(QFile::encodeName(path).toStdString());
        file.write(std::string_view(encoded.constData(), static_cast<std::size_t>(encoded.size())));
        file.commit();
        return true;
    } catch (const FileError& e) {
        if (failure != nullptr) {
            *failure = QString::fromUtf8(e.what());
        }
        return false;
    }
}

}  // namespace velmora
