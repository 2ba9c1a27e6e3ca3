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

QString WordCompletion::asTyped(const QString &typed, const QString &word) const
{
    const QString form = writtenForm(word);
    if (form != word)
        return form;
    const QString rest = word.mid(typed.size());
    return typed + (typed.size() > 1 && isAllUpper(typed) ? rest.toUpper() : rest);
}

WordOffers WordCompletion::offers(const QString &line) const
{
    if (line.size() > LongestLine)
        return {};
    const QString typed = Words::trailingWord(line);
    const QString before = line.left(line.size() - typed.size());
    WordOffers offers { typed.size(), {} };
    auto offer = [&](const QString &word) {
        if (!offers.words.contains(word))
            offers.words.append(word);
    };
    if (typed.isEmpty()) {
        // A next word on an empty line, the first of what is said, or after a space that
        // follows something said.
        if (!line.isEmpty() && (!line.back().isSpace() || line.trimmed().isEmpty()))
            return {};
        const QString previous = Words::trailingWord(before.trimmed());
        const bool shouted = previous.size() > 1 && isAllUpper(previous);
        const bool startsSentence = endsSentence(before);
        for (const QString &word : m_model->likeliestWords(before, {}, WordOffers::Most)) {
            QString form = writtenForm(word);
            if (shouted)
                form = form.toUpper();
            else if (startsSentence)
                form[0] = form[0].toUpper();
            offer(form);
        }
    } else {
        for (const QString &word :
            m_model->likeliestWords(before, typed.toLower(), WordOffers::Most))
            offer(asTyped(typed, word));
    }
    if (offers.isEmpty())
        return {};
    return offers;
}
