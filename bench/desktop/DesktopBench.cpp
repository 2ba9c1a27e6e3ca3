// SPDX-License-Identifier: GPL-3.0-or-later
// Measures the real program on a real desktop, as a user meets it: start-up, the time from the
// Enter key to the first sample heard on the sound server's monitor (with espeak-ng fed line by
// line as a reference, in the same run), and what it costs while it sits idle. Run it inside
// tests/harness/with-desktop; scripts/bench does that.
#include "AudioAnalysis.h"
#include "BusyLoops.h"
#include "Desktop.h"
#include "DesktopInput.h"
#include "EchoBench.h"
#include "Latencies.h"
#include "MonitorRecorder.h"
#include "ProcessStats.h"
#include "XWindowProbe.h"

#include <QCoreApplication>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>

#include <signal.h>

#include <stdexcept>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <iostream>
#include <limits>
#include <map>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using desktop::MonitorRecorder;

namespace {

struct Options
{
    std::string vocalo;
    std::string floor;
    std::string json = "desktop-bench.json";
    std::string log = "desktop-bench.log";
    // A plosive start gives a sharp onset, so the threshold hardly moves the figure; a soft "h"
    // rises over a hundred milliseconds and would measure the voice, not the program.
    std::string text = "papa";
    int runs = 20;
    // Starts timed to the splash; one sample is at the mercy of whatever else the machine does.
    int starts = 5;
    int threshold = audio::AudibleThreshold;
    int idleSeconds = 3;
    int cpuSeconds = 20;
    // Empty for everything, else "speech" (the lines, Esc, idle, the reference and the probes),
    // "echo", "start" (start-up alone), or "probes" (the bare probes alone, without Vocalo).
    std::string only;
    // Bare programs that click on each line of their standard input: the floor of the sound path.
    std::vector<std::pair<std::string, std::vector<std::string>>> probes;
    // Lines spoken while busy loops hold every core; 0 for none.
    int busyRuns = 0;
    echobench::Options echo;
};

[[noreturn]] void fail(const std::string &why)
{
    std::cerr << "desktop-bench: " << why << '\n';
    std::exit(1);
}

// "label=program arg arg": words split at spaces.
std::pair<std::string, std::vector<std::string>> probeCommand(const std::string &value)
{
    const std::size_t equals = value.find('=');
    if (equals == std::string::npos || equals == 0)
        fail("--probe takes LABEL=COMMAND");
    std::vector<std::string> words;
    std::istringstream stream(value.substr(equals + 1));
    for (std::string word; stream >> word;)
        words.push_back(word);
    if (words.empty())
        fail("--probe takes LABEL=COMMAND");
    return { value.substr(0, equals), words };
}

Options parse(int argc, char **argv)
{
    Options options;
    for (int i = 1; i < argc; ++i) {
        const std::string flag = argv[i];
        if (i + 1 >= argc)
            fail("missing value after " + flag);
        const std::string value = argv[++i];
        if (flag == "--vocalo")
            options.vocalo = value;
        else if (flag == "--floor")
            options.floor = value;
        else if (flag == "--json")
            options.json = value;
        else if (flag == "--log")
            options.log = value;
        else if (flag == "--text")
            options.text = value;
        else if (flag == "--runs")
            options.runs = std::max(1, std::atoi(value.c_str()));
        else if (flag == "--starts")
            options.starts = std::max(1, std::atoi(value.c_str()));
        else if (flag == "--threshold")
            options.threshold = std::max(1, std::atoi(value.c_str()));
        else if (flag == "--idle-seconds")
            options.idleSeconds = std::max(0, std::atoi(value.c_str()));
        else if (flag == "--cpu-seconds")
            options.cpuSeconds = std::max(1, std::atoi(value.c_str()));
        else if (flag == "--only")
            options.only = value;
        else if (flag == "--probe")
            options.probes.push_back(probeCommand(value));
        else if (flag == "--busy-runs")
            options.busyRuns = std::max(0, std::atoi(value.c_str()));
        else if (flag == "--flood-lines")
            options.echo.floodLines = std::max(1, std::atoi(value.c_str()));
        else
            fail("unknown option " + flag);
    }
    // What XTest types here, one key each, and espeak-ng reads as a line.
    if (options.text.empty()
        || options.text.find_first_not_of("abcdefghijklmnopqrstuvwxyz0123456789 ")
            != std::string::npos)
        fail("--text takes lower-case letters, digits and spaces");
    if (options.only != "" && options.only != "speech" && options.only != "echo"
        && options.only != "start" && options.only != "probes")
        fail("--only takes speech, echo, start or probes");
    if (options.vocalo.empty() || options.floor.empty())
        fail("usage: desktop-bench --vocalo PATH --floor PATH [--json PATH] [--log PATH] "
             "[--only speech|echo|start|probes] [--runs N] [--starts N] [--idle-seconds S] "
             "[--cpu-seconds S] "
             "[--text WORDS] [--threshold N] [--flood-lines N] [--probe 'LABEL=COMMAND ARGS'] "
             "[--busy-runs N]");
    return options;
}

// Starts a program that dies with this one; its output goes to `log`, and what is written to
// it goes to its standard input.
std::unique_ptr<QProcess> spawn(const std::vector<std::string> &command, const std::string &log)
{
    auto process = std::make_unique<QProcess>();
    QStringList arguments;
    for (auto word = command.begin() + 1; word != command.end(); ++word)
        arguments << QString::fromStdString(*word);
    process->setStandardOutputFile(QString::fromStdString(log), QIODevice::Append);
    process->setStandardErrorFile(QString::fromStdString(log), QIODevice::Append);
    desktop::endWithThisProcess(*process);
    process->start(QString::fromStdString(command.front()), arguments);
    if (!process->waitForStarted())
        fail("could not start " + command.front());
    return process;
}

pid_t pidOf(const QProcess &process)
{
    return static_cast<pid_t>(process.processId());
}

// SIGTERM, and SIGKILL after three seconds.
void stop(QProcess &process)
{
    desktop::reap(process, 3000);
}

// Whether a client window titled exactly `title` shows within the time, looked for every `stepMs`.
bool windowShows(const QString &title, std::chrono::milliseconds timeout, int stepMs)
{
    XWindowProbe windows;
    return desktop::waitUntil([&] { return windows.findViewable(title).has_value(); },
        static_cast<int>(timeout.count()), stepMs);
}

double msBetween(Clock::time_point from, Clock::time_point to)
{
    return std::chrono::duration<double, std::milli>(to - from).count();
}

// One line, spoken either after `idle` of silence or right after the previous line has ended
// (back to back: the program's output is still warm). `say` hands the line over and returns
// the moment it did.
void measureLine(MonitorRecorder &monitor, Latencies &into, bool backToBack,
    std::chrono::milliseconds idle, const std::function<void()> &prepare,
    const std::function<Clock::time_point()> &say, MonitorRecorder *call = nullptr,
    Latencies *intoCall = nullptr)
{
    // The end of the previous line: no word of a one-word line is followed by this much quiet.
    if (!monitor.waitForSilence(backToBack ? 300ms : idle, 60s))
        fail("the sound never stopped");
    prepare();
    if (backToBack) {
        // Half a second after the last sample, whatever the preparation took.
        const auto last = monitor.lastAudible().value_or(Clock::now());
        std::this_thread::sleep_until(std::max(last + 500ms, Clock::now() + 100ms));
    } else {
        std::this_thread::sleep_for(150ms);
    }
    const Clock::time_point given = say();
    if (const auto ms = monitor.onsetAfter(given, 5s))
        into.ms.push_back(*ms);
    else
        ++into.missed;
    if (call && intoCall) {
        if (const auto ms = call->onsetAfter(given, 5s))
            intoCall->ms.push_back(*ms);
        else
            ++intoCall->missed;
    }
}

struct LineReader
{
    Latencies afterIdle;
    Latencies backToBack;
};

// A program that sounds each line of its standard input. Its first line (loading a voice,
// starting a stream) is not counted.
LineReader measureReader(MonitorRecorder &monitor, const std::vector<std::string> &command,
    const Options &options, std::chrono::milliseconds idleGap)
{
    LineReader reader;
    // A probe may play the voice's own line: "{text}" stands for it.
    std::vector<std::string> words = command;
    std::replace(words.begin(), words.end(), std::string("{text}"), options.text);
    const std::unique_ptr<QProcess> program = spawn(words, options.log);
    const QByteArray line = QByteArray::fromStdString(options.text) + '\n';
    const auto writeLine = [&] {
        if (program->write(line) != line.size() || !program->waitForBytesWritten(1000))
            fail(command.front() + " does not take its input");
        return Clock::now();
    };
    if (!monitor.waitForSound(writeLine(), 10s))
        fail(command.front() + " is not heard");
    for (int i = 0; i < options.runs; ++i)
        measureLine(
            monitor, reader.afterIdle, false, idleGap, [] {}, writeLine);
    for (int i = 0; i < options.runs; ++i)
        measureLine(
            monitor, reader.backToBack, true, idleGap, [] {}, writeLine);
    program->closeWriteChannel();
    stop(*program);
    return reader;
}

// Several seconds of speech.
constexpr const char *LongLine = "here are some words that keep the speech going for a while";

struct Idle
{
    double seconds = 0;
    double cpu = 0;
    double floorCpu = 0;
    double run = 0;
    double floorRun = 0;
    std::vector<processstats::ThreadRate> threads;
    std::vector<processstats::ThreadRate> floorThreads;
    MonitorRecorder::Streams streamsAtStart;
    MonitorRecorder::Streams streamsAtEnd;
    double startAfterSpeechS = 0;
};

double total(const std::vector<processstats::ThreadRate> &rates)
{
    double sum = 0;
    for (const auto &rate : rates)
        sum += rate.perSecond;
    return sum;
}

Idle measureIdle(MonitorRecorder &monitor, pid_t vocalo, pid_t floor, int seconds)
{
    Idle idle;
    idle.seconds = seconds;
    // Five seconds after the last speech: long past any stream's closing or corking.
    if (!monitor.waitForSilence(5s, 60s))
        fail("the sound never stopped");
    const auto last = monitor.lastAudible();
    idle.startAfterSpeechS = last ? msBetween(*last, Clock::now()) / 1000 : -1;
    idle.streamsAtStart = monitor.streamsOf(vocalo);
    const auto threadsBefore = processstats::threads(vocalo);
    const auto floorThreadsBefore = processstats::threads(floor);
    const double cpuBefore = processstats::cpuSeconds(vocalo);
    const double floorCpuBefore = processstats::cpuSeconds(floor);
    const double runBefore = processstats::runSeconds(vocalo);
    const double floorRunBefore = processstats::runSeconds(floor);
    const auto started = Clock::now();
    std::this_thread::sleep_for(std::chrono::seconds(seconds));
    const double elapsed = msBetween(started, Clock::now()) / 1000;
    idle.cpu = (processstats::cpuSeconds(vocalo) - cpuBefore) / elapsed;
    idle.floorCpu = (processstats::cpuSeconds(floor) - floorCpuBefore) / elapsed;
    idle.run = (processstats::runSeconds(vocalo) - runBefore) / elapsed;
    idle.floorRun = (processstats::runSeconds(floor) - floorRunBefore) / elapsed;
    idle.threads = processstats::switchRates(threadsBefore, processstats::threads(vocalo), elapsed);
    idle.floorThreads
        = processstats::switchRates(floorThreadsBefore, processstats::threads(floor), elapsed);
    idle.streamsAtEnd = monitor.streamsOf(vocalo);
    if (monitor.lastAudible() != last)
        fail("something spoke during the idle window");
    return idle;
}

QJsonArray jsonThreads(const std::vector<processstats::ThreadRate> &rates)
{
    QJsonArray threads;
    for (const auto &rate : rates)
        threads.append(
            QJsonObject { { "tid", rate.tid }, { "name", QString::fromStdString(rate.name) },
                { "per_second", jsonNumber(rate.perSecond, 1) } });
    return threads;
}

QJsonObject jsonStreams(const MonitorRecorder::Streams &streams)
{
    return { { "open", streams.open }, { "running", streams.running } };
}

// Everything one run measures; what was not measured stays empty (NaN, no samples).
struct Figures
{
    Latencies splash;
    long rssKiB = 0;
    // From the strip on the screen to its row of offers (the model of English's first word on the
    // empty line), and the CPU the process spent in its first five seconds.
    double stripToFirstOfferMs = std::numeric_limits<double>::quiet_NaN();
    double cpuFirstFiveSeconds = std::numeric_limits<double>::quiet_NaN();
    Latencies vocaloIdle;
    Latencies vocaloBackToBack;
    // The same lines as the "Vocalo" microphone carries them into a call.
    Latencies callIdle;
    Latencies callBackToBack;
    Latencies vocaloEsc;
    Latencies vocaloBusy;
    Latencies longLineQuiet;
    Latencies longLineBusy;
    // The same lines measured in the samples the monitor carried: a gap in the line's own stream
    // lengthens both, while a monitor that hands its samples over late lengthens only the above.
    Latencies longLineQuietPlayed;
    Latencies longLineBusyPlayed;
    Idle idle;
    echobench::Figures echoes;
    // The reference and the bare probes, by label.
    std::vector<std::pair<std::string, LineReader>> readers;
};

// The server hands samples over every 2 ms, so a sample's arrival is close to the moment it was
// played; nothing is fed to the sink, which runs as the programs measured leave it.
MonitorRecorder::Setup listeningTo(const QString &source, int threshold)
{
    MonitorRecorder::Setup setup;
    setup.source = source;
    setup.fragment = 2ms;
    setup.threshold = threshold;
    return setup;
}

QString speakersMonitor()
{
    const char *sink = std::getenv("VOCALO_TEST_SINK");
    return sink ? QString::fromLocal8Bit(sink) + ".monitor" : "@DEFAULT_MONITOR@";
}

// What the steps share: the options, the ear on the sound server, the keyboard and Vocalo.
struct Session
{
    const Options &options;
    MonitorRecorder monitor;
    DesktopInput input;
    std::unique_ptr<QProcess> vocalo;
    bool withVocalo = false;
    bool speech = false;
    bool probes = false;
    bool echo = false;
    std::chrono::milliseconds idleGap;

    explicit Session(const Options &options)
        : options(options)
        , monitor(listeningTo(speakersMonitor(), options.threshold))
        , withVocalo(options.only != "probes")
        , speech(options.only.empty() || options.only == "speech")
        , probes(speech || options.only == "probes")
        , echo(options.only.empty() || options.only == "echo")
        , idleGap(std::chrono::seconds(options.idleSeconds))
    { }
};

void prepareFiles(const Options &options)
{
    for (const std::filesystem::path file : { options.log, options.json })
        if (file.has_parent_path())
            std::filesystem::create_directories(file.parent_path());
    std::filesystem::remove(options.log);
}

void reachTheDesktop(Session &session)
{
    if (!session.monitor.start())
        fail("cannot listen to the sound server: " + session.monitor.error().toStdString());
    if (!session.input.ready())
        fail("no X display with the XTest extension");
}

// Start-up: the splash, then its greeting, then the strip with the text box focused. The starts
// before the last are stopped once their splash shows.
void startVocalo(Session &session, Figures &figures)
{
    MonitorRecorder &monitor = session.monitor;
    Clock::time_point launched;
    for (int i = 0; i < session.options.starts; ++i) {
        if (session.vocalo) {
            stop(*session.vocalo);
            // The server closes a dead client's windows on its own time.
            XWindowProbe windows;
            desktop::waitUntil([&] { return !windows.findViewable("Vocalo"); }, 5000, 5);
        }
        launched = Clock::now();
        session.vocalo = spawn({ session.options.vocalo }, session.options.log);
        if (!windowShows("Vocalo", 10s, 1))
            fail("the splash never showed");
        figures.splash.ms.push_back(msBetween(launched, Clock::now()));
    }
    if (!monitor.waitForSound(launched, 10s))
        fail("no greeting heard");
    if (!windowShows("Vocalo 1.0", 30s, 5))
        fail("the strip never showed");
    const Clock::time_point stripShown = Clock::now();
    if (windowShows("Vocalo offers", 30s, 1))
        figures.stripToFirstOfferMs = msBetween(stripShown, Clock::now());
    const pid_t pid = pidOf(*session.vocalo);
    std::this_thread::sleep_until(launched + 5s);
    figures.cpuFirstFiveSeconds = processstats::cpuSeconds(pid);
    if (!monitor.waitForSilence(1500ms, 30s))
        fail("the greeting never ended");
    figures.rssKiB = processstats::rssKiB(pid);
}

// Vocalo's lines after idle and back to back, and Esc a second into a line of several seconds:
// how long the sound goes on after the key.
void measureVocaloLines(Session &session, Figures &figures)
{
    const Options &options = session.options;
    MonitorRecorder &monitor = session.monitor;
    DesktopInput &input = session.input;
    const auto typeLine = [&] { input.type(options.text); };
    const auto pressEnter = [&] { return input.pressReturn(); };
    // The microphone's source exists once Vocalo has reached the sound server; a recorder on it
    // also keeps its sink running, so its timeline is real time like the output's.
    MonitorRecorder call(listeningTo("vocalo_microphone", options.threshold));
    MonitorRecorder *callListener = call.start() ? &call : nullptr;
    if (!callListener)
        std::fprintf(
            stderr, "bench: no \"Vocalo\" microphone to listen to: %s\n", qPrintable(call.error()));
    for (int i = 0; i < options.runs; ++i)
        measureLine(monitor, figures.vocaloIdle, false, session.idleGap, typeLine, pressEnter,
            callListener, &figures.callIdle);
    for (int i = 0; i < options.runs; ++i)
        measureLine(monitor, figures.vocaloBackToBack, true, session.idleGap, typeLine, pressEnter,
            callListener, &figures.callBackToBack);

    for (int i = 0; i < std::max(1, options.runs / 2); ++i) {
        if (!monitor.waitForSilence(1s, 60s))
            fail("the sound never stopped");
        input.type(LongLine);
        std::this_thread::sleep_for(150ms);
        const Clock::time_point entered = input.pressReturn();
        if (!monitor.waitForSound(entered, 5s)) {
            ++figures.vocaloEsc.missed;
            continue;
        }
        std::this_thread::sleep_for(1s);
        const Clock::time_point escaped = input.pressEscape();
        if (!monitor.waitForSilence(1s, 60s))
            fail("the sound never stopped");
        figures.vocaloEsc.ms.push_back(std::max(0.0, msBetween(escaped, *monitor.lastAudible())));
    }
}

// What Vocalo costs sitting idle, against the 1 ms-timer floor.
void measureIdleCost(Session &session, Figures &figures)
{
    const std::unique_ptr<QProcess> floor = spawn({ session.options.floor }, session.options.log);
    figures.idle = measureIdle(
        session.monitor, pidOf(*session.vocalo), pidOf(*floor), session.options.cpuSeconds);
    stop(*floor);
}

// The voice says a line in the same time every time: a line that lasts longer ran out of samples
// on the way, by as much as it lasts longer. Once with the machine as it is, once with a busy
// loop on every core.
void measureBusy(Session &session, Figures &figures)
{
    const Options &options = session.options;
    MonitorRecorder &monitor = session.monitor;
    DesktopInput &input = session.input;
    const auto sayLongLine = [&](Latencies &heard, Latencies &played) {
        if (!monitor.waitForSilence(1s, 60s))
            fail("the sound never stopped");
        input.type(LongLine);
        std::this_thread::sleep_for(150ms);
        const std::size_t recordedBefore = monitor.recordedSoFar();
        const Clock::time_point entered = input.pressReturn();
        if (!monitor.waitForSound(entered, 5s))
            fail("a long line was not heard");
        const auto first = monitor.onsetAfter(entered, 1s);
        if (!monitor.waitForSilence(1s, 60s) || !first)
            fail("the sound never stopped");
        heard.ms.push_back(msBetween(entered, *monitor.lastAudible()) - *first);
        played.ms.push_back(
            1000 * audio::nonSilentSpan(monitor.samplesSince(recordedBefore)).seconds());
    };
    for (int i = 0; i < options.busyRuns; ++i)
        sayLongLine(figures.longLineQuiet, figures.longLineQuietPlayed);
    BusyLoops busy;
    const auto typeLine = [&] { input.type(options.text); };
    const auto pressEnter = [&] { return input.pressReturn(); };
    for (int i = 0; i < options.busyRuns; ++i)
        measureLine(monitor, figures.vocaloBusy, true, session.idleGap, typeLine, pressEnter);
    for (int i = 0; i < options.busyRuns; ++i)
        sayLongLine(figures.longLineBusy, figures.longLineBusyPlayed);
}

void measureEcho(Session &session, Figures &figures)
{
    try {
        figures.echoes = echobench::measure(
            session.input, "Vocalo 1.0", pidOf(*session.vocalo), session.options.echo);
    } catch (const std::runtime_error &error) {
        fail(error.what());
    }
}

// The reference, espeak-ng speaking each line of its standard input as a terminal hands it what
// is typed, and the bare probes, clicking on each line.
void measureReaders(Session &session, Figures &figures)
{
    if (session.speech)
        figures.readers.emplace_back("espeak-ng reading stdin",
            measureReader(session.monitor, { "espeak-ng" }, session.options, session.idleGap));
    if (session.probes)
        for (const auto &[label, command] : session.options.probes)
            figures.readers.emplace_back(
                label, measureReader(session.monitor, command, session.options, session.idleGap));
}

void printReport(const Session &session, const std::string &server, const Figures &f)
{
    const Options &options = session.options;
    const Idle &idle = f.idle;
    std::printf("\nVocalo on a private desktop, sound server %s\n\n", server.c_str());
    const auto row = [](const std::string &what, const Latencies &l) {
        std::printf("%-52s %10s %10s %8d\n", what.c_str(), number(l.median()).c_str(),
            number(l.p95()).c_str(), l.missed);
    };
    if (session.probes) {
        std::printf(
            "Speech (line \"%s\", n = %d per mode)\n\n", options.text.c_str(), options.runs);
        std::printf("%-52s %10s %10s %8s\n", "Enter -> first audible sample", "median ms", "p95 ms",
            "missed");
        if (session.speech) {
            row("  vocalo, after idle", f.vocaloIdle);
            row("  vocalo, back to back", f.vocaloBackToBack);
            row("  vocalo on its \"Vocalo\" microphone, after idle", f.callIdle);
            row("  vocalo on its \"Vocalo\" microphone, back to back", f.callBackToBack);
        }
        for (const auto &[label, reader] : f.readers) {
            row("  " + label + ", after idle", reader.afterIdle);
            row("  " + label + ", back to back", reader.backToBack);
        }
        std::printf("  (after idle: %d s of silence before the key; back to back: 0.5 s after the "
                    "previous line)\n",
            options.idleSeconds);
    }
    if (session.speech) {
        row("Esc a second into a line -> last audible", f.vocaloEsc);
        if (options.busyRuns > 0) {
            row("vocalo, back to back, every core busy", f.vocaloBusy);
            row("A long line, first to last audible, as it is", f.longLineQuiet);
            row("  and with every core busy", f.longLineBusy);
            row("  in samples played, as it is", f.longLineQuietPlayed);
            row("  in samples played, with every core busy", f.longLineBusyPlayed);
            std::printf("  (a line lasting longer than the shortest ran dry by that much: %s ms "
                        "at most as it is, %s ms with every core busy)\n",
                number(f.longLineQuietPlayed.max() - f.longLineQuietPlayed.min()).c_str(),
                number(f.longLineBusyPlayed.max() - f.longLineQuietPlayed.min()).c_str());
        }
        std::printf("\n");
        std::printf("Idle for %d s, %.1f s after the last speech\n", options.cpuSeconds,
            idle.startAfterSpeechS);
        std::printf("  CPU (utime+stime)   vocalo %s %%  1 ms-timer floor %s %%  ratio %s\n",
            number(idle.cpu * 100, 2).c_str(), number(idle.floorCpu * 100, 2).c_str(),
            number(idle.cpu / idle.floorCpu, 2).c_str());
        std::printf("  CPU (schedstat)     vocalo %s %%  1 ms-timer floor %s %%  ratio %s\n",
            number(idle.run * 100, 2).c_str(), number(idle.floorRun * 100, 2).c_str(),
            number(idle.run / idle.floorRun, 2).c_str());
        std::printf("  wake-ups (context switches) /s: vocalo %s, floor %s\n",
            number(total(idle.threads)).c_str(), number(total(idle.floorThreads)).c_str());
        for (const auto &thread : idle.threads)
            std::printf("    %-20s %7d %10s /s\n", thread.name.c_str(), thread.tid,
                number(thread.perSecond).c_str());
        std::printf("  running streams (of open): %d of %d at the start, %d of %d at the end\n\n",
            idle.streamsAtStart.running, idle.streamsAtStart.open, idle.streamsAtEnd.running,
            idle.streamsAtEnd.open);
    }
    if (session.echo) {
        echobench::print(f.echoes);
        std::printf("\n");
    }
    if (session.withVocalo) {
        std::printf("RSS after start-up: %.1f MiB\n", static_cast<double>(f.rssKiB) / 1024);
        std::printf("Strip shown -> first offer shown: %s ms; CPU in the first 5 s: %s s\n",
            number(f.stripToFirstOfferMs).c_str(), number(f.cpuFirstFiveSeconds, 2).c_str());
        std::printf("Process start -> splash mapped: median %s ms (%s to %s, %zu starts)\n",
            number(f.splash.median()).c_str(), number(f.splash.min()).c_str(),
            number(f.splash.max()).c_str(), f.splash.ms.size());
    }
}

QJsonObject report(const Session &session, const std::string &server, const Figures &f)
{
    QJsonObject json { { "text", QString::fromStdString(session.options.text) },
        { "sound_server", QString::fromStdString(server) },
        { "rss_after_startup_kib", static_cast<qint64>(f.rssKiB) },
        { "strip_to_first_offer_ms", jsonNumber(f.stripToFirstOfferMs, 1) },
        { "cpu_first_five_seconds", jsonNumber(f.cpuFirstFiveSeconds, 2) },
        { "start_to_splash_mapped_ms", jsonLatencies(f.splash) } };
    if (session.speech) {
        json["enter_to_first_audible"] = QJsonObject {
            { "vocalo_after_idle", jsonLatencies(f.vocaloIdle) },
            { "vocalo_back_to_back", jsonLatencies(f.vocaloBackToBack) },
            { "vocalo_microphone_after_idle", jsonLatencies(f.callIdle) },
            { "vocalo_microphone_back_to_back", jsonLatencies(f.callBackToBack) },
            { "vocalo_back_to_back_every_core_busy", jsonLatencies(f.vocaloBusy) },
        };
        json["long_line_first_to_last_audible"]
            = QJsonObject { { "as_it_is", jsonLatencies(f.longLineQuiet) },
                  { "every_core_busy", jsonLatencies(f.longLineBusy) } };
        json["long_line_first_to_last_audible_in_samples_played"]
            = QJsonObject { { "as_it_is", jsonLatencies(f.longLineQuietPlayed) },
                  { "every_core_busy", jsonLatencies(f.longLineBusyPlayed) } };
        json["esc_to_last_audible"] = jsonLatencies(f.vocaloEsc);
        const Idle &idle = f.idle;
        json["idle"] = QJsonObject {
            { "seconds", session.options.cpuSeconds },
            { "start_after_last_speech_s", jsonNumber(idle.startAfterSpeechS, 2) },
            { "cpu_fraction", jsonNumber(idle.cpu, 5) },
            { "floor_cpu_fraction", jsonNumber(idle.floorCpu, 5) },
            { "cpu_ratio", jsonNumber(idle.cpu / idle.floorCpu, 3) },
            { "schedstat_cpu_fraction", jsonNumber(idle.run, 5) },
            { "schedstat_floor_cpu_fraction", jsonNumber(idle.floorRun, 5) },
            { "schedstat_cpu_ratio", jsonNumber(idle.run / idle.floorRun, 3) },
            { "wakeups_per_second", jsonNumber(total(idle.threads), 1) },
            { "floor_wakeups_per_second", jsonNumber(total(idle.floorThreads), 1) },
            { "threads", jsonThreads(idle.threads) },
            { "floor_threads", jsonThreads(idle.floorThreads) },
            { "streams_at_start", jsonStreams(idle.streamsAtStart) },
            { "streams_at_end", jsonStreams(idle.streamsAtEnd) },
        };
    }
    if (session.echo)
        json["echo"] = echobench::json(f.echoes);
    if (!f.readers.empty()) {
        QJsonObject readers;
        for (const auto &[label, reader] : f.readers)
            readers[QString::fromStdString(label)]
                = QJsonObject { { "after_idle", jsonLatencies(reader.afterIdle) },
                      { "back_to_back", jsonLatencies(reader.backToBack) } };
        json["line_readers"] = readers;
    }
    return json;
}

void writeReport(const std::string &path, const QJsonObject &report)
{
    QFile file(QString::fromStdString(path));
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)
        || file.write(QJsonDocument(report).toJson()) < 0)
        fail("cannot write " + path);
    std::printf("\nWritten to %s\n", path.c_str());
}

// Lines given that were never heard, and keys never answered.
int missed(const Figures &f)
{
    int missed = f.vocaloIdle.missed + f.vocaloBackToBack.missed + f.vocaloBusy.missed
        + f.echoes.idle.missed + f.echoes.idleAnswered.missed + f.echoes.afterPasteAnswered.missed;
    for (const auto &[label, reader] : f.readers)
        missed += reader.afterIdle.missed + reader.backToBack.missed;
    return missed;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication application(argc, argv);
    const Options options = parse(argc, argv);
    setenv("QT_QPA_PLATFORM", "xcb", 1);
    // A reference program that is missing must end in a message, not in SIGPIPE.
    signal(SIGPIPE, SIG_IGN);
    prepareFiles(options);

    Session session(options);
    reachTheDesktop(session);
    Figures figures;
    if (session.withVocalo)
        startVocalo(session, figures);
    if (session.speech) {
        measureVocaloLines(session, figures);
        measureIdleCost(session, figures);
        if (options.busyRuns > 0)
            measureBusy(session, figures);
    }
    // After the idle figures, which a megabyte's aftermath would spoil.
    if (session.echo)
        measureEcho(session, figures);
    if (session.withVocalo)
        stop(*session.vocalo);
    measureReaders(session, figures);

    const std::string server = session.monitor.serverName().toStdString();
    printReport(session, server, figures);
    writeReport(options.json, report(session, server, figures));
    return missed(figures) == 0 ? 0 : 2;
}
