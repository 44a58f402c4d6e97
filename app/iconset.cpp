// haulwise-iconset FOLDER: draws the program's icon, the status item's symbol as a blue disc, at every
// size a macOS icon set holds, as FOLDER/icon_WxH[@2x].png; iconutil turns the folder into the .icns
// the bundle carries. The drawing is ours (src/ui/icons), so the icon never goes stale against it.
#include <QColor>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QPainter>
#include <QSvgRenderer>
#include <QTextStream>

namespace {

QImage draw(QSvgRenderer &renderer, int side) {
    QImage image(side, side, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    // A margin like Apple's own icons leave, so the disc doesn't look larger than its neighbours.
    const qreal margin = side / 10.0;
    renderer.render(&painter, QRectF(margin, margin, side - 2 * margin, side - 2 * margin));
    painter.setCompositionMode(QPainter::CompositionMode_SourceIn);
    painter.fillRect(image.rect(), QColor(0x2f, 0x8c, 0xf5));
    return image;
}

} // namespace

int main(int argc, char **argv) {
    QTextStream err(stderr);
    if (argc != 3) {
        err << "usage: haulwise-iconset SYMBOL.svg FOLDER\n";
        return 2;
    }
    QSvgRenderer renderer(QString::fromLocal8Bit(argv[1]));
    if (!renderer.isValid()) {
        err << "haulwise-iconset: " << argv[1] << " is not a drawing this program can read\n";
        return 1;
    }
    const QDir folder(QString::fromLocal8Bit(argv[2]));
    if (!folder.mkpath(QStringLiteral("."))) {
        err << "haulwise-iconset: can't make " << folder.path() << '\n';
        return 1;
    }
    for (const int side : {16, 32, 128, 256, 512}) {
        for (const int scale : {1, 2}) {
            const QString name = QStringLiteral("icon_%1x%1%2.png")
                                     .arg(side)
                                     .arg(scale == 2 ? QStringLiteral("@2x") : QString());
            if (!draw(renderer, side * scale).save(folder.filePath(name), "PNG")) {
                err << "haulwise-iconset: can't write " << folder.filePath(name) << '\n';
                return 1;
            }
        }
    }
    return 0;
}
