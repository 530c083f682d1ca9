// kestrin_xgrab FILE.png: saves the whole screen of the X display in $DISPLAY as PNG,
// for the script that starts kestrin under Xvfb. Exit status 2 when the screen holds
// fewer than 16 distinct colours (nothing drawn), 1 when it cannot be saved.
#include <QGuiApplication>
#include <QImage>
#include <QPixmap>
#include <QScreen>
#include <QSet>

#include <cstdio>

int main(int argc, char** argv)
{
    QGuiApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: kestrin_xgrab FILE.png\n");
        return 1;
    }
    QScreen* screen = QGuiApplication::primaryScreen();
    if (!screen)
        return 1;
    const QImage image = screen->grabWindow(0).toImage();
    if (image.isNull() || !image.save(QString::fromLocal8Bit(argv[1]), "PNG"))
        return 1;
    QSet<QRgb> colours;
    for (int y = 0; y < image.height() && colours.size() < 16; y += 3)
        for (int x = 0; x < image.width() && colours.size() < 16; x += 3)
            colours.insert(image.pixel(x, y));
    std::printf("%s: %dx%d, %s\n", argv[1], image.width(), image.height(),
        colours.size() >= 16 ? "drawn" : "nearly uniform");
    return colours.size() >= 16 ? 0 : 2;
}
