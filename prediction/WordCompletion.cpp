// SPDX-License-Identifier: GPL-3.0-or-later
#include "WordCompletion.h"

#include "Words.h"

namespace {

// Nothing said yet, or a sentence's end after the last word (Characters.h).
bool endsSentence(const QString &text)
{
    return Words::previousTwoWords(text).second.isEmpty();
}

bool isAllUpper(const QString &text)
{
    for (QChar c : text)
        if (c.isLower())
            return false;
    return true;
}

} // namespace

WordCompletion::WordCompletion(std::unique_ptr<WordModel> model) : m_model(std::move(model)) { }

void WordCompletion::learn(const QString &line)
{
    // A paste is not conversation; learning a megabyte of it would only fill memory.
    if (line.size() > LongestLine)
        return;
    m_model->learn(line);
    Words::forEach(line, [this](QStringView word, bool startsSentence) {
        // The latest use inside a sentence decides: the board says "You are a Freak.", and a
        // user who then writes "freak" gets it back in lower case.
        if (startsSentence)
            return;
        if (word.front().isUpper())
            m_capitalised.insert(Words::normalised(word), word.toString());
        else if (word.front().isLower())
            m_capitalised.remove(Words::normalised(word));
    });
}

QString WordCompletion::writtenForm(const QString &word) const
{
    if (word == u"i" || word.startsWith(u"i'"))
        return u'I' + word.mid(1);
    return m_capitalised.value(word, word);
}

WordCompletion::Suggestion WordCompletion::suggestion(const QString &line) const
{
    if (line.size() > LongestLine)
        return {};
    const QString typed = Words::trailingWord(line);
    const QString before = line.left(line.size() - typed.size());
    if (typed.isEmpty()) {
        // A next word on an empty line, the first of what is said, or after a space that
        // follows something said.
        if (!line.isEmpty() && (!line.back().isSpace() || line.trimmed().isEmpty()))
            return {};
        QString word = writtenForm(m_model->mostLikelyWord(before, {}));
        if (word.isEmpty())
            return {};
        const QString previous = Words::trailingWord(before.trimmed());
        if (previous.size() > 1 && isAllUpper(previous))
            word = word.toUpper();
        else if (endsSentence(before))
            word[0] = word[0].toUpper();
        return { 0, word };
    }
    const QString word = m_model->mostLikelyWord(before, typed.toLower());
    if (word.isEmpty())
        return {};
    const QString form = writtenForm(word);
    if (form != word)
        return { typed.size(), form };
    const QString rest = word.mid(typed.size());
    return { typed.size(),
        typed + (typed.size() > 1 && isAllUpper(typed) ? rest.toUpper() : rest) };
}
