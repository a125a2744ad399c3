// Draws the about box's logo (281 x 105) and writes it as a JPEG through
// libjpeg's compression interface. Run once; its output is committed as
// about/OndrikLogo.jpg.
//
//   make-ondrik-logo <output.jpg>
#include <QFont>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <cstdio>
#include <vector>

#include <jpeglib.h>

namespace {

QImage DrawLogo() {
    QImage image(281, 105, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);

    // A band across the bottom and a road line.
    QLinearGradient band(0, 0, 281, 0);
    band.setColorAt(0, QColor(0, 51, 153));
    band.setColorAt(1, QColor(70, 130, 200));
    p.fillRect(0, 84, 281, 21, band);
    p.setPen(QPen(QColor(255, 204, 0), 2, Qt::DashLine));
    p.drawLine(8, 95, 273, 95);

    // A small car in profile.
    QPainterPath body;
    body.moveTo(14, 72);
    body.lineTo(14, 60);
    body.quadTo(18, 54, 30, 52);
    body.lineTo(40, 40);
    body.quadTo(44, 36, 52, 36);
    body.lineTo(74, 36);
    body.quadTo(80, 36, 86, 42);
    body.lineTo(96, 52);
    body.quadTo(106, 54, 108, 62);
    body.lineTo(108, 72);
    body.closeSubpath();
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0, 51, 153));
    p.drawPath(body);
    p.setBrush(QColor(200, 225, 250));
    QPainterPath glass;
    glass.moveTo(44, 51);
    glass.lineTo(51, 41);
    glass.lineTo(62, 41);
    glass.lineTo(62, 51);
    glass.closeSubpath();
    glass.moveTo(66, 51);
    glass.lineTo(66, 41);
    glass.lineTo(76, 41);
    glass.lineTo(86, 51);
    glass.closeSubpath();
    p.drawPath(glass);
    for (int x : {34, 88}) {
        p.setBrush(QColor(40, 40, 40));
        p.drawEllipse(QPointF(x, 73), 9, 9);
        p.setBrush(QColor(190, 190, 190));
        p.drawEllipse(QPointF(x, 73), 4, 4);
    }

    // The name and what it does.
    QFont name("DejaVu Sans", 30, QFont::Bold);
    name.setStyleHint(QFont::SansSerif);
    p.setFont(name);
    p.setPen(QColor(0, 51, 153));
    p.drawText(QRect(116, 14, 160, 46), Qt::AlignLeft | Qt::AlignVCenter, "Ondrik");
    QFont line("DejaVu Sans", 9);
    line.setStyleHint(QFont::SansSerif);
    p.setFont(line);
    p.setPen(QColor(90, 90, 90));
    p.drawText(QRect(118, 58, 160, 18), Qt::AlignLeft | Qt::AlignVCenter, "Vehicle Identification");
    p.end();
    return image;
}

bool WriteJpeg(const QImage& source, const char* path) {
    const QImage image = source.convertToFormat(QImage::Format_RGB888);
    FILE* out = std::fopen(path, "wb");
    if (!out) return false;
    jpeg_compress_struct info;
    jpeg_error_mgr error;
    info.err = jpeg_std_error(&error);  // exits on error: a one-off tool
    jpeg_create_compress(&info);
    jpeg_stdio_dest(&info, out);
    info.image_width = static_cast<JDIMENSION>(image.width());
    info.image_height = static_cast<JDIMENSION>(image.height());
    info.input_components = 3;
    info.in_color_space = JCS_RGB;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, 92, TRUE);
    jpeg_start_compress(&info, TRUE);
    while (info.next_scanline < info.image_height) {
        JSAMPROW row =
            const_cast<JSAMPROW>(image.constScanLine(static_cast<int>(info.next_scanline)));
        jpeg_write_scanlines(&info, &row, 1);
    }
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    return std::fclose(out) == 0;
}

}  // namespace

int main(int argc, char** argv) {
    QGuiApplication application(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: make-ondrik-logo <output.jpg>\n");
        return 2;
    }
    if (!WriteJpeg(DrawLogo(), argv[1])) {
        std::perror(argv[1]);
        return 1;
    }
    return 0;
}
