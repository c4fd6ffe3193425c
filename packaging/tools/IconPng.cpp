// Writes the program's icon pictures as PNG files for the desktop's icon theme, so that the
// installed icons are always the ones the program shows in its own windows:
//   icon_png <16x16 PNG file> <32x32 PNG file>
#include <QImage>

#include <cstdio>

namespace {
#include "resources/Icon106_16.xpm"
#include "resources/Icon106_32.xpm"

bool SavePng(const char* const* xpm, const char* path)
{
    const QImage image(xpm);
    if (image.isNull() || !image.save(QString::fromLocal8Bit(path), "PNG")) {
        std::fprintf(stderr, "icon_png: cannot write %s\n", path);
        return false;
    }
    return true;
}
} // namespace

int main(int argc, char* argv[])
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: icon_png <16x16 PNG file> <32x32 PNG file>\n");
        return 2;
    }
    const bool saved = SavePng(kIcon106Small, argv[1]) && SavePng(kIcon106Large, argv[2]);
    return saved ? 0 : 1;
}
