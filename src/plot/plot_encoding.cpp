#include "plot/plot_encoding.h"

#include "plot/offscreen_gui.h"
#include "plot/plot_style.h"

#include <QBuffer>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QSvgGenerator>

#include <cmath>
#include <stdexcept>

namespace velmora {
namespace {

// Vector files keep coordinates to 1/1200 inch, as fine as any printer places them.
constexpr int vectorResolution = 1200;

// Text as XML character data.
std::string xmlEscaped(const std::string& text)
{
    std::string out;
    for (const char c : text) {
        switch (c) {
        case '&': out += "&amp;"; break;
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        default: out += c;
        }
    }
    return out;
}

// Right after the opening <svg ...> tag, where SVG keeps a document's metadata.
std::string svgWithMetadata(const std::string& svg, const std::string& metadata)
{
    const std::size_t open = svg.find("<svg");
    const std::size_t end = open == std::string::npos ? open : svg.find('>', open);
    if (metadata.empty() || end == std::string::npos)
        return svg;
    return svg.substr(0, end + 1) + "\n<metadata id=\"velmora\">" + xmlEscaped(metadata) + "</metadata>" +
           svg.substr(end + 1);
}

// XMP replaces a PDF's default metadata: the title, the creator and the provenance.
std::string xmpPacket(const std::string& title, const std::string& metadata)
{
    return "<?xpacket begin='' id='W5M0MpCehiHzreSzNTczkc9d'?>\n"
           "<x:xmpmeta xmlns:x='adobe:ns:meta/'>\n"
           "<rdf:RDF xmlns:rdf='http://www.w3.org/1999/02/22-rdf-syntax-ns#'>\n"
           "<rdf:Description rdf:about='' xmlns:dc='http://purl.org/dc/elements/1.1/' "
           "xmlns:xmp='http://ns.adobe.com/xap/1.0/'>\n"
           "<dc:title><rdf:Alt><rdf:li xml:lang='x-default'>" + xmlEscaped(title) +
           "</rdf:li></rdf:Alt></dc:title>\n"
           "<dc:description><rdf:Alt><rdf:li xml:lang='x-default'>" + xmlEscaped(metadata) +
           "</rdf:li></rdf:Alt></dc:description>\n"
           "<xmp:CreatorTool>velmora-sim</xmp:CreatorTool>\n"
           "</rdf:Description>\n</rdf:RDF>\n</x:xmpmeta>\n<?xpacket end='w'?>";
}

}  // namespace

QImage renderPlot(const PlotSize& size, const PlotDrawing& draw)
{
    const int width = static_cast<int>(std::lround(size.widthInches * size.dpi));
    const int height = static_cast<int>(std::lround(size.heightInches * size.dpi));
    QImage image(width, height, QImage::Format_RGB32);
    if (image.isNull())
        throw std::runtime_error("not enough memory for a plot of " + std::to_string(width) + " by " +
                                 std::to_string(height) + " pixels");
    // Viewers and page layout programs read the resolution from the file and show it at its size on paper.
    const int dotsPerMeter = static_cast<int>(std::lround(size.dpi / 0.0254));
    image.setDotsPerMeterX(dotsPerMeter);
    image.setDotsPerMeterY(dotsPerMeter);
    QPainter p(&image);
    const double scale = size.dpi / pointsPerInch;
    p.scale(scale, scale);
    draw(p, width / scale, height / scale);
    p.end();
    return image;
}

std::string encodePlot(PlotFormat format, const PlotSize& size, const std::string& title, const std::string& metadata,
                       const PlotDrawing& draw)
{
    const OffscreenGui gui;
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    const double width = size.widthInches * pointsPerInch;
    const double height = size.heightInches * pointsPerInch;
    switch (format) {
    case PlotFormat::Png: {
        QImage image = renderPlot(size, draw);
        if (!metadata.empty())
            image.setText("velmora", fromUtf8(metadata));
        if (!image.save(&buffer, "PNG"))
            throw std::runtime_error("cannot encode the plot as PNG");
        break;
    }
    case PlotFormat::Svg: {
        QSvgGenerator svg;
        svg.setOutputDevice(&buffer);
        svg.setResolution(vectorResolution);
        svg.setSize(QSize(static_cast<int>(std::lround(size.widthInches * vectorResolution)),
                          static_cast<int>(std::lround(size.heightInches * vectorResolution))));
        // Drawn in points: the view box maps them onto the size on paper.
        svg.setViewBox(QRectF(0, 0, width, height));
        svg.setTitle(fromUtf8(title));
        QPainter p;
        if (!p.begin(&svg))
            throw std::runtime_error("cannot draw the plot as SVG");
        draw(p, width, height);
        p.end();
        buffer.close();
        return svgWithMetadata(bytes.toStdString(), metadata);
    }
    case PlotFormat::Pdf: {
        QPdfWriter pdf(&buffer);
        pdf.setCreator("velmora-sim");
        pdf.setTitle(fromUtf8(title));
        if (!metadata.empty())
            pdf.setDocumentXmpMetadata(QByteArray::fromStdString(xmpPacket(title, metadata)));
        pdf.setResolution(vectorResolution);
        pdf.setPageSize(QPageSize(QSizeF(size.widthInches, size.heightInches), QPageSize::Inch, QString(),
                                  QPageSize::ExactMatch));
        pdf.setPageMargins(QMarginsF(0, 0, 0, 0));
        QPainter p;
        if (!p.begin(&pdf))
            throw std::runtime_error("cannot draw the plot as PDF");
        const double scale = vectorResolution / pointsPerInch;
        p.scale(scale, scale);
        // Qt sets a page in whole points; the plot fills the page it got.
        const QRect page = pdf.pageLayout().fullRectPoints();
        draw(p, page.width(), page.height());
        p.end();
        break;
    }
    }
    return bytes.toStdString();
}

}  // namespace velmora
