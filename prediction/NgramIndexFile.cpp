// SPDX-License-Identifier: GPL-3.0-or-later
#include "NgramIndexFile.h"

#include <QFile>
#include <QSaveFile>

#include <array>
#include <cstring>

#include <fcntl.h>
#include <sys/mman.h>

namespace {

constexpr char Magic[8] = { 'V', 'o', 'c', 'N', 'g', 'r', 'a', 'm' };
constexpr quint32 Version = 1;
// Read back in another byte order, this is no longer itself.
constexpr quint32 ByteOrder = 0x01020304;

enum Section {
    Text,
    Offsets,
    Probability,
    Backoff,
    Followers,
    FirstFollower,
    Pairs,
    FirstPair,
    Sections
};

struct Header
{
    char magic[8];
    quint32 version;
    quint32 byteOrder;
    quint32 sentenceStart;
    quint32 unigramEnd;
    // Each table's size in bytes; each starts eight-byte aligned after the one before.
    std::array<quint64, Sections> bytes;
    // Of the header with this field 0, then of everything after it, padding included.
    quint64 checksum;
};
static_assert(sizeof(Header) % 8 == 0);

constexpr quint64 aligned(quint64 bytes)
{
    return (bytes + 7) & ~quint64(7);
}

// FNV-1a over eight-byte words: any one word changed changes the sum, whatever the others.
class Checksum
{
public:
    // size is a multiple of eight.
    void add(const char *data, qint64 size)
    {
        for (qint64 at = 0; at < size; at += 8) {
            quint64 word;
            std::memcpy(&word, data + at, 8);
            m_sum = (m_sum ^ word) * 0x100000001b3;
        }
    }
    quint64 sum() const { return m_sum; }

private:
    quint64 m_sum = 0xcbf29ce484222325;
};

template <typename T>
std::span<const T> table(const uchar *at, quint64 bytes)
{
    return { reinterpret_cast<const T *>(at), size_t(bytes / sizeof(T)) };
}

// Whether the sizes the header gives fit one another: the tables' contents are left to the
// checksum, and the queries never read outside a table whatever they say.
bool fitsTogether(const Header &header)
{
    const auto &bytes = header.bytes;
    const quint64 words = bytes[Offsets] / 4 - 1;
    return bytes[Offsets] % 4 == 0 && bytes[Offsets] >= 8 && words <= Ngram::MaxWords
        && bytes[Text] < (quint64(1) << 32) && bytes[Probability] == 2 * words
        && bytes[Backoff] == 2 * words && bytes[FirstFollower] == bytes[Offsets]
        && bytes[FirstPair] == bytes[Offsets] && bytes[Followers] % 4 == 0
        && bytes[Followers] / 4 < (quint64(1) << 32) && bytes[Pairs] % sizeof(Ngram::Pair) == 0
        && header.sentenceStart < words && header.unigramEnd <= bytes[Followers] / 4;
}

// Whether the header and the rest of the file, read from after the header on, give the
// header's checksum.
bool sumsUp(QFile &file, const Header &header)
{
    // A fault maps the whole block of the page cache that holds the page asked for, and a file
    // written or read ahead in one go is cached in blocks of up to 2 MB, while the queries read
    // a few bytes here and there. So the file is dropped from the cache (unless another program
    // maps it) and read again without reading ahead, page by page, through a small buffer
    // rather than the mapping: the program's resident share stays with the pages around those
    // the queries read (0.8 MB for the first offer instead of 4).
    posix_fadvise(file.handle(), 0, 0, POSIX_FADV_DONTNEED);
    posix_fadvise(file.handle(), 0, 0, POSIX_FADV_RANDOM);
    Checksum checksum;
    Header unsummed = header;
    unsummed.checksum = 0;
    checksum.add(reinterpret_cast<const char *>(&unsummed), sizeof unsummed);
    QByteArray chunk(1 << 16, Qt::Uninitialized);
    for (qint64 read; (read = file.read(chunk.data(), chunk.size())) > 0;)
        checksum.add(chunk.constData(), read);
    return checksum.sum() == header.checksum;
}

// The tables of a file mapped at data.
Ngram::Tables tablesAt(const uchar *data, const Header &header)
{
    Ngram::Tables tables;
    const uchar *at = data + sizeof header;
    auto next = [&](Section section) {
        const uchar *start = at;
        at += aligned(header.bytes[section]);
        return start;
    };
    tables.text = { reinterpret_cast<const char *>(next(Text)), size_t(header.bytes[Text]) };
    tables.offsets = table<quint32>(next(Offsets), header.bytes[Offsets]);
    tables.probability = table<quint16>(next(Probability), header.bytes[Probability]);
    tables.backoff = table<quint16>(next(Backoff), header.bytes[Backoff]);
    tables.followers = table<quint32>(next(Followers), header.bytes[Followers]);
    tables.firstFollower = table<quint32>(next(FirstFollower), header.bytes[FirstFollower]);
    tables.pairs = table<Ngram::Pair>(next(Pairs), header.bytes[Pairs]);
    tables.firstPair = table<quint32>(next(FirstPair), header.bytes[FirstPair]);
    tables.unigramEnd = header.unigramEnd;
    tables.sentenceStart = header.sentenceStart;
    return tables;
}

NgramIndexFile::Mapped refused(const QString &why)
{
    return { {}, {}, why };
}

} // namespace

QString NgramIndexFile::write(const Ngram::Tables &tables, const QString &path)
{
    const std::array<std::pair<const void *, quint64>, Sections> sections { {
        { tables.text.data(), tables.text.size() },
        { tables.offsets.data(), tables.offsets.size_bytes() },
        { tables.probability.data(), tables.probability.size_bytes() },
        { tables.backoff.data(), tables.backoff.size_bytes() },
        { tables.followers.data(), tables.followers.size_bytes() },
        { tables.firstFollower.data(), tables.firstFollower.size_bytes() },
        { tables.pairs.data(), tables.pairs.size_bytes() },
        { tables.firstPair.data(), tables.firstPair.size_bytes() },
    } };
    Header header {};
    std::memcpy(header.magic, Magic, sizeof Magic);
    header.version = Version;
    header.byteOrder = ByteOrder;
    header.sentenceStart = tables.sentenceStart;
    header.unigramEnd = tables.unigramEnd;
    QByteArray body;
    for (size_t s = 0; s < sections.size(); ++s) {
        const auto [data, bytes] = sections[s];
        header.bytes[s] = bytes;
        body.append(static_cast<const char *>(data), qsizetype(bytes));
        body.append(qsizetype(aligned(bytes) - bytes), '\0');
    }
    if (!fitsTogether(header))
        return QStringLiteral("the tables do not fit together");
    Checksum checksum;
    checksum.add(reinterpret_cast<const char *>(&header), sizeof header);
    checksum.add(body.constData(), body.size());
    header.checksum = checksum.sum();

    // Written whole or not at all: a build that stops halfway leaves no half index behind.
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)
        || file.write(reinterpret_cast<const char *>(&header), sizeof header) != sizeof header
        || file.write(body) != body.size() || !file.commit())
        return file.errorString();
    return {};
}

NgramIndexFile::Mapped NgramIndexFile::map(const QString &path)
{
    auto file = std::make_shared<QFile>(path);
    if (!file->open(QIODevice::ReadOnly))
        return refused(file->errorString());
    Header header;
    if (file->read(reinterpret_cast<char *>(&header), sizeof header) != sizeof header
        || std::memcmp(header.magic, Magic, sizeof Magic) != 0)
        return refused(QStringLiteral("not an index of words"));
    if (header.version != Version || header.byteOrder != ByteOrder)
        return refused(
            QStringLiteral("an index of another format (version %1)").arg(header.version));
    if (!fitsTogether(header))
        return refused(QStringLiteral("its header does not hold together"));
    quint64 size = sizeof header;
    for (quint64 bytes : header.bytes)
        size += aligned(bytes);
    if (quint64(file->size()) != size)
        return refused(
            QStringLiteral("%1 bytes where its header promises %2").arg(file->size()).arg(size));

    if (!sumsUp(*file, header))
        return refused(QStringLiteral("damaged (its checksum does not match)"));

    uchar *data = file->map(0, qint64(size));
    if (!data)
        return refused(file->errorString());
    // Nor does a page the cache has lost since bring its neighbours along.
    madvise(data, size_t(size), MADV_RANDOM);
    // The mapping lives as long as the file object.
    return { std::move(file), tablesAt(data, header), {} };
}
