// SPDX-License-Identifier: GPL-3.0-or-later
// The pictures the program carries: the right sizes and depths, and what the painter in
// assets/tools makes, so nobody edits one without the other.
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QTemporaryDir>
#include <QXmlStreamReader>

#include <gtest/gtest.h>

namespace {

struct PngHeader
{
    QSize size;
    int bitDepth = 0;
    int colourType = 0; // 2: RGB, 6: RGB with alpha
};

PngHeader readHeader(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    const QByteArray bytes = file.read(26);
    if (bytes.size() < 26 || !bytes.startsWith("\x89PNG\r\n\x1a\n") || bytes.mid(12, 4) != "IHDR")
        return {};
    auto big = [&](int at) {
        return (static_cast<uchar>(bytes[at]) << 24) | (static_cast<uchar>(bytes[at + 1]) << 16)
            | (static_cast<uchar>(bytes[at + 2]) << 8) | static_cast<uchar>(bytes[at + 3]);
    };
    return { QSize(big(16), big(20)), static_cast<uchar>(bytes[24]),
        static_cast<uchar>(bytes[25]) };
}

struct Picture
{
    const char *resource;
    QSize size;
    int colourType;
};

class EmbeddedPictureTest : public testing::TestWithParam<Picture>
{ };

TEST_P(EmbeddedPictureTest, HasItsSizeAndDepth)
{
    const Picture &picture = GetParam();
    const PngHeader header = readHeader(picture.resource);
    EXPECT_EQ(header.size, picture.size);
    EXPECT_EQ(header.bitDepth, 8);
    EXPECT_EQ(header.colourType, picture.colourType);
    EXPECT_FALSE(QImage(picture.resource).isNull());
}

INSTANTIATE_TEST_SUITE_P(Pictures, EmbeddedPictureTest,
    testing::Values(Picture { ":/assets/intro.png", QSize(408, 332), 2 },
        Picture { ":/assets/credits.png", QSize(334, 303), 2 },
        Picture { ":/assets/icons/vocalo-16.png", QSize(16, 16), 6 },
        Picture { ":/assets/icons/vocalo-22.png", QSize(22, 22), 6 },
        Picture { ":/assets/icons/vocalo-24.png", QSize(24, 24), 6 },
        Picture { ":/assets/icons/vocalo-32.png", QSize(32, 32), 6 },
        Picture { ":/assets/icons/vocalo-48.png", QSize(48, 48), 6 },
        Picture { ":/assets/icons/vocalo-64.png", QSize(64, 64), 6 },
        Picture { ":/assets/icons/vocalo-128.png", QSize(128, 128), 6 },
        Picture { ":/assets/icons/vocalo-256.png", QSize(256, 256), 6 }));

TEST(ArtworkTest, TheScalableIconIsASquareSvg)
{
    QFile file(VOCALO_SOURCE_DIR "/assets/icons/vocalo.svg");
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    QXmlStreamReader svg(&file);
    ASSERT_TRUE(svg.readNextStartElement());
    EXPECT_EQ(svg.name(), QStringLiteral("svg"));
    EXPECT_EQ(svg.attributes().value("viewBox"), QStringLiteral("0 0 256 256"));
    while (!svg.atEnd())
        svg.readNext();
    EXPECT_FALSE(svg.hasError()) << svg.errorString().toStdString();
}

TEST(ArtworkTest, TheCommittedArtworkIsWhatThePainterMakes)
{
    QTemporaryDir out;
    ASSERT_TRUE(out.isValid());
    QProcess painter;
    painter.start(VOCALO_MAKE_ARTWORK, { out.path() });
    ASSERT_TRUE(painter.waitForFinished(60000));
    ASSERT_EQ(painter.exitCode(), 0) << painter.readAllStandardError().toStdString();

    int files = 0;
    QDirIterator made(out.path(), QDir::Files, QDirIterator::Subdirectories);
    while (made.hasNext()) {
        const QString path = made.next();
        const QString relative = QDir(out.path()).relativeFilePath(path);
        const QString committed = VOCALO_SOURCE_DIR "/assets/" + relative;
        ++files;
        if (path.endsWith(".png")) {
            const QImage fresh(path);
            const QImage kept(committed);
            ASSERT_FALSE(kept.isNull()) << relative.toStdString() << " is not committed";
            EXPECT_EQ(fresh, kept) << relative.toStdString() << " differs: run assets/make-artwork";
        } else {
            QFile a(path);
            QFile b(committed);
            ASSERT_TRUE(a.open(QIODevice::ReadOnly) && b.open(QIODevice::ReadOnly))
                << relative.toStdString();
            EXPECT_EQ(a.readAll(), b.readAll()) << relative.toStdString() << " differs";
        }
    }
    EXPECT_EQ(files, 11);
}

} // namespace
