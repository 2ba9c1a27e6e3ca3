// SPDX-License-Identifier: GPL-3.0-or-later
#include "EchoBench.h"
#include "XWindowProbe.h"

#include "DesktopInput.h"
#include "EchoMeter.h"
#include "ProcessStats.h"

#include <X11/keysym.h>

#include <optional>
#include <stdexcept>

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

namespace echobench {

namespace {

// Wide letters, taking turns so that no two taps look like a held key.
unsigned long echoKey(int i)
{
    return i % 2 ? XK_w : XK_m;
}

void require(bool holds, const std::string &what)
{
    if (!holds)
        throw std::runtime_error(what);
}

// Each key typed after a pause, timed first to its echo on screen, then (with as many more keys)
// to the program's answer. A box that shows no change twice running is not waited for again.
void typeEchoes(DesktopInput &input, EchoMeter &meter, Latencies &echoes, Latencies &answers,
    int keys, std::chrono::milliseconds timeout)
{
    for (int i = 0; i < keys; ++i) {
        meter.settle(150ms);
        const auto ms = echoes.missed >= 2 && echoes.ms.empty()
            ? std::nullopt
            : meter.echo([&] { return input.tap(echoKey(i)); }, timeout);
        if (ms)
            echoes.ms.push_back(*ms);
        else
            ++echoes.missed;
    }
    for (int i = 0; i < keys; ++i) {
        meter.settle(150ms);
        if (const auto ms = meter.answer(input.tap(echoKey(i)), timeout))
            answers.ms.push_back(*ms);
        else
            ++answers.missed;
    }
}

void idleTyping(DesktopInput &input, EchoMeter &meter, const Options &options, Figures &figures)
{
    // The first character may change more than the box (a button that becomes enabled).
    require(meter.echo([&] { return input.tap(XK_m); }, 5s).has_value(), "no echo of a key");
    meter.settle(300ms);
    require(meter.findTextBox([&] { return input.tap(XK_w); }, 5s), "the text box was not found");
    typeEchoes(input, meter, figures.idle, figures.idleAnswered, options.idleKeys, 2s);
    for (int i = 0; i < 2 * options.idleKeys + 2; ++i) {
        input.tap(XK_BackSpace);
        meter.settle(5ms);
    }
    require(meter.answer(Clock::now(), 10s).has_value(), "the strip stopped answering");
    meter.settle(300ms);
}

std::string megabyteOfWords()
{
    std::string text;
    while (text.size() < 1000000)
        text += "Here are ten words that keep the speech going on. ";
    return text;
}

void afterPaste(
    DesktopInput &input, EchoMeter &meter, pid_t pid, const Options &options, Figures &figures)
{
    figures.rssBeforePasteKiB = processstats::rssKiB(pid);
    require(meter.offerClipboard(megabyteOfWords()), "the display takes no property of 1 MB");
    const auto shown = meter.echo(
        [&] {
            const Clock::time_point pressed = Clock::now();
            input.chord(XK_Control_L, XK_v);
            return pressed;
        },
        60s);
    require(shown.has_value(), "the paste never showed");
    figures.pasteShownMs = *shown;
    require(meter.answer(Clock::now(), 60s).has_value(), "the strip stopped answering");
    meter.settle(500ms);
    figures.rssPastedKiB = processstats::rssKiB(pid);

    typeEchoes(input, meter, figures.afterPaste, figures.afterPasteAnswered, options.pasteKeys, 5s);

    // Speaks the megabyte and, by default, empties the box.
    meter.settle(300ms);
    const auto cleared = meter.echo([&] { return input.tap(XK_Return); }, 30s);
    figures.enterClearedMs = cleared.value_or(NAN);
    require(meter.answer(Clock::now(), 60s).has_value(), "the strip stopped answering");
    meter.settle(1s);
    figures.rssEnteredKiB = processstats::rssKiB(pid);
    input.tap(XK_Escape);
    require(meter.answer(Clock::now(), 60s).has_value(), "the strip stopped answering");
    meter.settle(1s);
    figures.rssStoppedKiB = processstats::rssKiB(pid);
    meter.offerClipboard({});
}

// Four digits, no two neighbours alike, then Return.
std::string floodLine(int i)
{
    std::string line;
    for (int k = 0; k < 4; ++k)
        line += char('0' + (i + 3 * k) % 10);
    return line + '\n';
}

double linesPerSecond(
    const std::vector<double> &drainMs, std::size_t from, std::size_t to, int lines)
{
    double ms = 0;
    for (std::size_t i = from; i < to; ++i)
        ms += drainMs[i];
    return ms > 0 ? double(to - from) * lines / (ms / 1000) : NAN;
}

// The lines go in bursts as fast as XTest sends them. After each, once the program has taken
// every key of it, one more key: the time until the program has answered it, with all the lines
// before it handed on and spoken or waiting.
void flood(
    DesktopInput &input, EchoMeter &meter, pid_t pid, const Options &options, Figures &figures)
{
    figures.rssBeforeFloodKiB = processstats::rssKiB(pid);
    std::vector<double> drainMs;
    const Clock::time_point started = Clock::now();
    const auto limit = started + std::chrono::seconds(options.floodSeconds);
    while (figures.floodLinesSent < options.floodLines && Clock::now() < limit) {
        const int lines
            = std::min(options.linesPerProbe, options.floodLines - figures.floodLinesSent);
        std::string keys;
        for (int i = 0; i < lines; ++i)
            keys += floodLine(figures.floodLinesSent + i);
        const Clock::time_point sent = Clock::now();
        input.burst(keys);
        const auto drained = meter.answer(sent, 60s);
        require(drained.has_value(), "the strip stopped answering during the flood");
        drainMs.push_back(*drained);
        figures.floodLinesSent += lines;
        // The first digit of the next line, unlike the one that follows it.
        const int digit = (figures.floodLinesSent + 5) % 10;
        const auto answered = meter.answer(input.tap(XK_0 + digit), 60s);
        require(answered.has_value(), "the strip stopped answering during the flood");
        figures.flood.ms.push_back(*answered);
    }
    figures.floodSeconds = std::chrono::duration<double>(Clock::now() - started).count();
    const std::size_t n = figures.flood.ms.size();
    const std::size_t quarter = std::max<std::size_t>(1, n / 4);
    figures.floodFirstQuarter.ms.assign(
        figures.flood.ms.begin(), figures.flood.ms.begin() + quarter);
    figures.floodLastQuarter.ms.assign(figures.flood.ms.end() - quarter, figures.flood.ms.end());
    figures.firstQuarterLinesPerS = linesPerSecond(drainMs, 0, quarter, options.linesPerProbe);
    figures.lastQuarterLinesPerS = linesPerSecond(drainMs, n - quarter, n, options.linesPerProbe);
    meter.settle(1s);
    figures.rssAfterFloodKiB = processstats::rssKiB(pid);
    // Stops the speech; the probe digit left in the box goes with a Return.
    input.tap(XK_Escape);
    input.tap(XK_BackSpace);
    require(meter.answer(Clock::now(), 60s).has_value(), "the strip stopped answering");
}

std::string mib(long kib)
{
    return number(double(kib) / 1024, 1);
}

void row(const char *what, const Latencies &l)
{
    std::printf("%-44s %10s %10s %10s %8d\n", what, number(l.median()).c_str(),
        number(l.p95()).c_str(), number(l.max()).c_str(), l.missed);
}

} // namespace

Figures measure(DesktopInput &input, const std::string &title, pid_t pid, const Options &options)
{
    EchoMeter meter(XWindowProbe()
                        .findViewable(QString::fromStdString(title))
                        .value_or(XWindowProbe::WindowId {}));
    require(meter.error().empty(), meter.error());
    Figures figures;
    idleTyping(input, meter, options, figures);
    afterPaste(input, meter, pid, options, figures);
    flood(input, meter, pid, options, figures);
    figures.polledEchoes = meter.polledEchoes();
    return figures;
}

void print(const Figures &f)
{
    std::printf("%-44s %10s %10s %10s %8s\n", "Keystroke -> echo on screen", "median ms", "p95 ms",
        "max ms", "missed");
    row("  empty strip", f.idle);
    row("  after a 1 MB paste, typed at its end", f.afterPaste);
    std::printf("%-44s %10s %10s %10s %8s\n", "Keystroke -> answered (two pings)", "median ms",
        "p95 ms", "max ms", "missed");
    row("  empty strip", f.idleAnswered);
    row("  after a 1 MB paste, typed at its end", f.afterPasteAnswered);
    std::printf("  (Ctrl+V -> 1 MB shown: %s ms; Return -> box empty: %s ms)\n",
        number(f.pasteShownMs).c_str(), number(f.enterClearedMs).c_str());
    std::printf("  RSS: %s MiB before the paste, %s pasted, %s after Return, %s after Esc\n",
        mib(f.rssBeforePasteKiB).c_str(), mib(f.rssPastedKiB).c_str(), mib(f.rssEnteredKiB).c_str(),
        mib(f.rssStoppedKiB).c_str());
    std::printf("%-44s %10s %10s %10s %8s\n", "Keystroke -> answered, during a flood", "median ms",
        "p95 ms", "max ms", "");
    row("  all probes", f.flood);
    row("  first quarter", f.floodFirstQuarter);
    row("  last quarter", f.floodLastQuarter);
    std::printf("  (%d lines in %s s; taken at %s lines/s in the first quarter, %s in the last;\n"
                "   RSS %s MiB before, %s after)\n",
        f.floodLinesSent, number(f.floodSeconds).c_str(),
        number(f.firstQuarterLinesPerS, 0).c_str(), number(f.lastQuarterLinesPerS, 0).c_str(),
        mib(f.rssBeforeFloodKiB).c_str(), mib(f.rssAfterFloodKiB).c_str());
    if (f.polledEchoes)
        std::printf("  (%d echoes seen without a damage report: timed to 50 ms)\n", f.polledEchoes);
}

QJsonObject json(const Figures &f)
{
    return {
        { "idle", jsonLatencies(f.idle) },
        { "idle_answered", jsonLatencies(f.idleAnswered) },
        { "after_paste", jsonLatencies(f.afterPaste) },
        { "after_paste_answered", jsonLatencies(f.afterPasteAnswered) },
        { "paste_shown_ms", jsonNumber(f.pasteShownMs, 2) },
        { "enter_after_paste_cleared_ms", jsonNumber(f.enterClearedMs, 2) },
        { "rss_before_paste_kib", static_cast<qint64>(f.rssBeforePasteKiB) },
        { "rss_pasted_kib", static_cast<qint64>(f.rssPastedKiB) },
        { "rss_after_enter_kib", static_cast<qint64>(f.rssEnteredKiB) },
        { "rss_after_esc_kib", static_cast<qint64>(f.rssStoppedKiB) },
        { "flood_answer", jsonLatencies(f.flood) },
        { "flood_answer_first_quarter", jsonLatencies(f.floodFirstQuarter) },
        { "flood_answer_last_quarter", jsonLatencies(f.floodLastQuarter) },
        { "flood_lines", f.floodLinesSent },
        { "flood_seconds", jsonNumber(f.floodSeconds, 2) },
        { "flood_first_quarter_lines_per_s", jsonNumber(f.firstQuarterLinesPerS, 0) },
        { "flood_last_quarter_lines_per_s", jsonNumber(f.lastQuarterLinesPerS, 0) },
        { "rss_before_flood_kib", static_cast<qint64>(f.rssBeforeFloodKiB) },
        { "rss_after_flood_kib", static_cast<qint64>(f.rssAfterFloodKiB) },
        { "echoes_seen_without_damage_report", f.polledEchoes },
    };
}

} // namespace echobench
