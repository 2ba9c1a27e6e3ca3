// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "Latencies.h"

#include <sys/types.h>

#include <string>

class DesktopInput;

// Keystroke echo seen from outside the program: on an idle strip, after a pasted megabyte, and
// while ten thousand lines are typed into it.
namespace echobench {

struct Options
{
    int idleKeys = 20;
    int pasteKeys = 10;
    int floodLines = 10000;
    int linesPerProbe = 250;
    int floodSeconds = 60; // the flood stops early past this
};

struct Figures
{
    // Key -> text box pixels changed, and key -> the program has answered two pings after it
    // (its event loop has handled the key, and drawn what it asked to be drawn, before the second).
    Latencies idle;
    Latencies idleAnswered;
    double pasteShownMs = 0; // Ctrl+V -> the pasted text on screen
    Latencies afterPaste;
    Latencies afterPasteAnswered;
    double enterClearedMs = 0; // Return after the megabyte -> the box drawn empty
    long rssBeforePasteKiB = 0;
    long rssPastedKiB = 0;
    long rssEnteredKiB = 0;
    long rssStoppedKiB = 0; // after Esc
    Latencies flood;        // probe key -> the program has answered two pings after it
    Latencies floodFirstQuarter;
    Latencies floodLastQuarter;
    int floodLinesSent = 0;
    double floodSeconds = 0;
    double firstQuarterLinesPerS = 0;
    double lastQuarterLinesPerS = 0;
    long rssBeforeFloodKiB = 0;
    long rssAfterFloodKiB = 0;
    int polledEchoes = 0; // echoes found by the slow look, not by a damage report
};

// Runs the three in turn on the strip (the window titled `title`) of the program `pid`, which
// must have its text box focused and empty. Throws std::runtime_error when the program stops
// answering.
Figures measure(DesktopInput &input, const std::string &title, pid_t pid, const Options &options);
void print(const Figures &figures);
// A JSON object.
QJsonObject json(const Figures &figures);

} // namespace echobench
