// SPDX-License-Identifier: GPL-3.0-or-later
#include "TextPreparation.h"

#include "Characters.h"

namespace textprep {
namespace {

bool isSpace(QChar c)
{
    return c == u' ';
}

} // namespace

QString clean(const QString &text)
{
    QString out;
    out.reserve(text.size());
    const qsizetype size = text.size();
    for (qsizetype i = 0; i < size; ++i) {
        const QChar c = text.at(i);
        if (c.isHighSurrogate() && i + 1 < size && text.at(i + 1).isLowSurrogate()) {
            const char32_t code = QChar::surrogateToUcs4(c, text.at(i + 1));
            if (QChar::isNonCharacter(code)) {
                out += u' ';
            } else {
                out += c;
                out += text.at(i + 1);
            }
            ++i;
            continue;
        }
        const char16_t u = c.unicode();
        const bool control = u < 0x20 || (u >= 0x7f && u < 0xa0);
        // Line and paragraph separators and other format or separator controls read as breaks.
        const bool separator = u == 0x2028 || u == 0x2029 || c.isSpace();
        if (control || separator || c.isSurrogate() || c.isNonCharacter() || u == 0xfffd)
            out += u' ';
        else
            out += c;
    }
    return out;
}

SentenceSplitter::SentenceSplitter(QString cleanedText) : m_text(std::move(cleanedText)) { }

bool SentenceSplitter::next(QString &sentence)
{
    const qsizetype size = m_text.size();
    while (m_position < size) {
        while (m_position < size && isSpace(m_text.at(m_position)))
            ++m_position;
        if (m_position >= size)
            return false;

        QString piece;
        piece.reserve(MaxSentenceLength);
        qsizetype tokenLength = 0;
        qsizetype lastSpace = -1; // in piece
        qsizetype i = m_position;
        // A sentence's end was read, and at most closing quotes and brackets came after it.
        bool ended = false;
        for (; i < size; ++i) {
            const QChar c = m_text.at(i);
            if (isSpace(c)) {
                if (piece.endsWith(u' '))
                    continue;
                lastSpace = piece.size();
                piece += u' ';
                tokenLength = 0;
                if (ended) {
                    ++i;
                    break;
                }
                continue;
            }
            ended = ended || Characters::endsSentence(m_text, i);
            // A surrogate pair is never torn apart: the check happens at its first half.
            const qsizetype width = c.isHighSurrogate() ? 2 : 1;
            if (!c.isLowSurrogate() && tokenLength + width > MaxTokenLength) {
                lastSpace = piece.size();
                piece += u' ';
                tokenLength = 0;
            }
            if (!c.isLowSurrogate() && piece.size() + width > MaxSentenceLength) {
                if (lastSpace > 0) {
                    // Hand the unfinished word back to the next sentence.
                    const qsizetype carried = piece.size() - lastSpace - 1;
                    i -= carried;
                    piece.truncate(lastSpace);
                }
                break;
            }
            piece += c;
            ++tokenLength;
        }
        m_position = i;
        while (piece.endsWith(u' '))
            piece.chop(1);
        if (!piece.isEmpty()) {
            sentence = piece;
            return true;
        }
    }
    return false;
}

} // namespace textprep
