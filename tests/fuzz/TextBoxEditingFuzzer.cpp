// SPDX-License-Identifier: GPL-3.0-or-later
// libFuzzer target over the text box's editing: a starting text and any sequence of keys,
// pastes, input-method corrections, clicks, undos and redos. Besides crashes (the sanitizers),
// it aborts when the cursor or the selection leaves the text, when a letter or word step does not
// move the way it points, and when undoing every step does not give back the starting text or
// redoing them all the final one.
#include "EditedLine.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <cstdio>
#include <cstdlib>

namespace {

[[noreturn]] void fail(const char *what, const EditedLine &line)
{
    std::fprintf(stderr, "text box editing: %s (cursor %d, anchor %d, size %d)\n", what,
        line.cursor(), line.anchor(), line.size());
    std::abort();
}

// Code units that make letters and words hard: marks, both halves of a surrogate pair (also
// alone), flags, joiners, right-to-left letters, apostrophes, line breaks.
QString pieceOfText(FuzzedDataProvider &input, std::size_t most)
{
    static const char16_t units[] = { u'a', u'Z', u' ', u'\'', u'1', u'.', u'\n', 0x0301, 0x200D,
        0x05D0, 0xD83D, 0xDE00, 0xD83C, 0xDDEB, 0x2019, u'_' };
    QString text;
    const std::size_t length = input.ConsumeIntegralInRange<std::size_t>(0, most);
    for (std::size_t i = 0; i < length && input.remaining_bytes() > 0; ++i)
        text += QChar(units[input.ConsumeIntegralInRange<std::size_t>(0, std::size(units) - 1)]);
    return text;
}

void checkSteps(const EditedLine &line)
{
    const int size = line.size();
    if (line.cursor() < 0 || line.cursor() > size || line.anchor() < 0 || line.anchor() > size)
        fail("cursor or selection outside the text", line);
    for (int at = 0; at <= size; ++at) {
        if (at < size && (line.nextLetter(at) <= at || line.nextLetter(at) > size))
            fail("a letter step forward does not move forward", line);
        if (at > 0 && (line.previousLetter(at) >= at || line.previousLetter(at) < 0))
            fail("a letter step back does not move back", line);
        if (line.nextWordStart(at) < at || line.previousWordStart(at) > at)
            fail("a word step goes the wrong way", line);
    }
}

void edit(EditedLine &line, FuzzedDataProvider &input)
{
    const int size = line.size();
    const auto position = [&] { return input.ConsumeIntegralInRange<int>(-2, size + 2); };
    const bool select = input.ConsumeBool();
    switch (input.ConsumeIntegralInRange<int>(0, 14)) {
    case 0:
        return line.type(pieceOfText(input, 2));
    case 1:
        return line.insert(pieceOfText(input, 40));
    case 2: {
        const int at = position();
        return line.replace(at, position(), pieceOfText(input, 4));
    }
    case 3:
        return line.backspace();
    case 4:
        return line.deleteForward();
    case 5:
        return line.deleteWordBack();
    case 6:
        return line.deleteWordForward();
    case 7:
        return line.moveByLetter(input.ConsumeBool(), select);
    case 8:
        return line.moveByWord(input.ConsumeBool(), select);
    case 9:
        return line.moveCursor(position(), select);
    case 10:
        return line.selectAll();
    case 11:
        return line.selectWordAt(position());
    case 12:
        return line.undo();
    case 13:
        return line.redo();
    default:
        return line.removeSelection();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    FuzzedDataProvider input(data, size);
    EditedLine line;
    const QString start = pieceOfText(input, 64);
    line.setText(start);
    while (input.remaining_bytes() > 0) {
        edit(line, input);
        checkSteps(line);
    }
    const QString end = line.text();
    int undone = 0;
    for (; line.canUndo(); ++undone)
        line.undo();
    if (line.text() != start)
        fail("undoing every step does not give back the starting text", line);
    for (; undone > 0; --undone)
        line.redo();
    if (line.text() != end)
        fail("redoing every step does not give back the final text", line);
    return 0;
}
