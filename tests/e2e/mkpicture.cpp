// Writes a test picture: mkpicture FILE WIDTH HEIGHT (format from the suffix).
#include <QGuiApplication>
#include <QImage>
#include <QImageWriter>
#include <QPainter>

int main(int argc, char** argv) {
    if (argc != 4) return 2;
    QImage img(atoi(argv[2]), atoi(argv[3]), QImage::Format_RGB32);
    img.fill(Qt::white);
    QPainter p(&img);
    p.fillRect(0, 0, img.width() / 2, img.height() / 2, Qt::darkCyan); // not all one colour
    p.end();
    QImageWriter writer(QString::fromLocal8Bit(argv[1]));
    writer.setQuality(80);
    return writer.write(img) ? 0 : 1;
}
