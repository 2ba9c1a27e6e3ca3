// SPDX-License-Identifier: GPL-3.0-or-later
// Paints the program's pictures and icons into the assets folder given on the command line.
#include "CreditsPicture.h"
#include "IntroPicture.h"
#include "ProgramIcon.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImage>

#include <cstdio>

namespace {

bool save(const QImage &image, const QString &path)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    if (!image.save(path, "PNG")) {
        std::fprintf(stderr, "make-artwork: cannot write %s\n", qPrintable(path));
        return false;
    }
    std::printf("%s\n", qPrintable(path));
    return true;
}

bool saveText(const QString &text, const QString &path)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        std::fprintf(stderr, "make-artwork: cannot write %s\n", qPrintable(path));
        return false;
    }
    file.write(text.toUtf8());
    std::printf("%s\n", qPrintable(path));
    return true;
}

} // namespace

int main(int argc, char **argv)
{
    QGuiApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: make-artwork <assets folder>\n");
        return 2;
    }
    const QString out = QString::fromLocal8Bit(argv[1]);
    bool ok = save(paintIntroPicture(), out + "/intro.png");
    ok = save(paintCreditsPicture(), out + "/credits.png") && ok;
    ok = saveText(programIconSvg(), out + "/icons/vocalo.svg") && ok;
    for (int size : programIconSizes())
        ok = save(paintProgramIcon(size), out + QString("/icons/vocalo-%1.png").arg(size)) && ok;
    return ok ? 0 : 1;
}
