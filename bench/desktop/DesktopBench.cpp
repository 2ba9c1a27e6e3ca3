// SPDX-License-Identifier: GPL-3.0-or-later
// Measures the real program on a real desktop, as a user meets it: start-up, the time from the
// Enter key to the first sample heard on the sound server's monitor (with espeak-ng fed line by
// line as a reference, in the same run), and what it costs while it sits idle. Run it inside
// tests/harness/with-desktop; scripts/bench does that.
#include "BusyLoops.h"
#include "DesktopInput.h"
#include "EchoBench.h"
#include "Latencies.h"
#include "MonitorListener.h"
#include "ProcessStats.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <stdexcept>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iostream>
#include <map>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

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
    int threshold = MonitorListener::AudibleThreshold;
    int idleSeconds = 3;
    int cpuSeconds = 20;
    // Empty for everything, else "speech" (the lines, Esc, idle, the reference and the probes),
    // "echo", or "probes" (the bare probes alone, without Vocalo).
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
        && options.only != "probes")
        fail("--only takes speech, echo or probes");
    if (options.vocalo.empty() || options.floor.empty())
        fail("usage: desktop-bench --vocalo PATH --floor PATH [--json PATH] [--log PATH] "
             "[--only speech|echo|probes] [--runs N] [--idle-seconds S] [--cpu-seconds S] "
             "[--text WORDS] [--threshold N] [--flood-lines N] [--probe 'LABEL=COMMAND ARGS'] "
             "[--busy-runs N]");
    return options;
}

// Starts a program that dies with this one; its output goes to `log`. With `input`, its
// standard input is the read end of a pipe whose write end is returned there.
pid_t spawn(const std::vector<std::string> &command, const std::string &log, int *input = nullptr)
{
    std::vector<char *> argv;
    for (const std::string &word : command)
        argv.push_back(const_cast<char *>(word.c_str()));
    argv.push_back(nullptr);
    int pipeEnds[2] = { -1, -1 };
    if (input && pipe2(pipeEnds, O_CLOEXEC) != 0)
        fail("no pipe");
    const int logFd = open(log.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    const pid_t pid = fork();
    if (pid == 0) {
        prctl(PR_SET_PDEATHSIG, SIGKILL);
        if (input)
            dup2(pipeEnds[0], STDIN_FILENO);
        if (logFd >= 0) {
            dup2(logFd, STDOUT_FILENO);
            dup2(logFd, STDERR_FILENO);
        }
        execvp(argv[0], argv.data());
        _exit(127);
    }
    if (logFd >= 0)
        close(logFd);
    if (input) {
        close(pipeEnds[0]);
        *input = pipeEnds[1];
    }
    if (pid < 0)
        fail("could not start " + command.front());
    return pid;
}

void stop(pid_t pid)
{
    kill(pid, SIGTERM);
    for (int i = 0; i < 300; ++i) {
        if (waitpid(pid, nullptr, WNOHANG) == pid)
            return;
        std::this_thread::sleep_for(10ms);
    }
    kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);
}

bool pollFor(const std::function<bool()> &condition, std::chrono::milliseconds timeout,
    std::chrono::milliseconds step = 1ms)
{
    const auto deadline = Clock::now() + timeout;
    while (!condition()) {
        if (Clock::now() >= deadline)
            return false;
        std::this_thread::sleep_for(step);
    }
    return true;
}

double msBetween(Clock::time_point from, Clock::time_point to)
{
    return std::chrono::duration<double, std::milli>(to - from).count();
}

// One line, spoken either after `idle` of silence or right after the previous line has ended
// (back to back: the program's output is still warm). `say` hands the line over and returns
// the moment it did.
void measureLine(MonitorListener &monitor, Latencies &into, bool backToBack,
    std::chrono::milliseconds idle, const std::function<void()> &prepare,
    const std::function<Clock::time_point()> &say)
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
}

struct LineReader
{
    Latencies afterIdle;
    Latencies backToBack;
};

// A program that sounds each line of its standard input. Its first line (loading a voice,
// starting a stream) is not counted.
LineReader measureReader(MonitorListener &monitor, const std::vector<std::string> &command,
    const Options &options, std::chrono::milliseconds idleGap)
{
    LineReader reader;
    int toReader = -1;
    // A probe may play the voice's own line: "{text}" stands for it.
    std::vector<std::string> words = command;
    std::replace(words.begin(), words.end(), std::string("{text}"), options.text);
    const pid_t pid = spawn(words, options.log, &toReader);
    const std::string line = options.text + "\n";
    const auto writeLine = [&] {
        if (write(toReader, line.data(), line.size()) != static_cast<ssize_t>(line.size()))
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
    close(toReader);
    stop(pid);
    return reader;
}

struct Idle
{
    double seconds = 0;
    double cpu = 0;
    double floorCpu = 0;
    double run = 0;
    double floorRun = 0;
    std::vector<processstats::ThreadRate> threads;
    std::vector<processstats::ThreadRate> floorThreads;
    MonitorListener::Streams streamsAtStart;
    MonitorListener::Streams streamsAtEnd;
    double startAfterSpeechS = 0;
};

double total(const std::vector<processstats::ThreadRate> &rates)
{
    double sum = 0;
    for (const auto &rate : rates)
        sum += rate.perSecond;
    return sum;
}

Idle measureIdle(MonitorListener &monitor, pid_t vocalo, pid_t floor, int seconds)
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

std::string jsonThreads(const std::vector<processstats::ThreadRate> &rates)
{
    std::string text = "[";
    for (std::size_t i = 0; i < rates.size(); ++i) {
        std::string name;
        for (const char c : rates[i].name)
            if (c != '"' && c != '\\' && static_cast<unsigned char>(c) >= 0x20)
                name += c;
        text += std::string(i ? ", " : "") + "{\"tid\": " + std::to_string(rates[i].tid)
            + ", \"name\": \"" + name + "\", \"per_second\": " + number(rates[i].perSecond, 1)
            + "}";
    }
    return text + "]";
}

} // namespace

int main(int argc, char **argv)
{
    const Options options = parse(argc, argv);
    setenv("QT_QPA_PLATFORM", "xcb", 1);
    // A reference program that is missing must end in a message, not in SIGPIPE.
    signal(SIGPIPE, SIG_IGN);
    for (const std::filesystem::path file : { options.log, options.json })
        if (file.has_parent_path())
            std::filesystem::create_directories(file.parent_path());
    std::filesystem::remove(options.log);

    MonitorListener monitor(options.threshold);
    const char *sink = std::getenv("VOCALO_TEST_SINK");
    std::string error;
    if (!monitor.start(sink ? std::string(sink) + ".monitor" : "@DEFAULT_MONITOR@", error))
        fail("cannot listen to the sound server: " + error);
    DesktopInput input;
    if (!input.ready())
        fail("no X display with the XTest extension");

    // Start-up: the splash, then its greeting, then the strip with the text box focused.
    const bool withVocalo = options.only != "probes";
    const Clock::time_point launched = Clock::now();
    const pid_t vocalo = withVocalo ? spawn({ options.vocalo }, options.log) : 0;
    double splashMs = NAN;
    long rssKiB = 0;
    if (withVocalo) {
        if (!pollFor([&] { return input.viewable("Vocalo"); }, 10s))
            fail("the splash never showed");
        splashMs = msBetween(launched, Clock::now());
        if (!monitor.waitForSound(launched, 10s))
            fail("no greeting heard");
        if (!pollFor([&] { return input.viewable("Vocalo 1.0"); }, 30s, 5ms))
            fail("the strip never showed");
        if (!monitor.waitForSilence(1500ms, 30s))
            fail("the greeting never ended");
        rssKiB = processstats::rssKiB(vocalo);
    }

    const bool speech = options.only.empty() || options.only == "speech";
    const bool probes = speech || options.only == "probes";
    const bool echo = options.only.empty() || options.only == "echo";
    const std::chrono::milliseconds idleGap = std::chrono::seconds(options.idleSeconds);
    Latencies vocaloIdle;
    Latencies vocaloBackToBack;
    Latencies vocaloEsc;
    Latencies vocaloBusy;
    Latencies longLineQuiet;
    Latencies longLineBusy;
    Idle idle;
    if (speech) {
        const auto typeLine = [&] { input.type(options.text); };
        const auto pressEnter = [&] { return input.pressReturn(); };
        for (int i = 0; i < options.runs; ++i)
            measureLine(monitor, vocaloIdle, false, idleGap, typeLine, pressEnter);
        for (int i = 0; i < options.runs; ++i)
            measureLine(monitor, vocaloBackToBack, true, idleGap, typeLine, pressEnter);

        // Esc a second into a line of several seconds: how long the sound goes on after the key.
        const std::string longLine = "here are some words that keep the speech going for a while";
        for (int i = 0; i < std::max(1, options.runs / 2); ++i) {
            if (!monitor.waitForSilence(1s, 60s))
                fail("the sound never stopped");
            input.type(longLine);
            std::this_thread::sleep_for(150ms);
            const Clock::time_point entered = input.pressReturn();
            if (!monitor.waitForSound(entered, 5s)) {
                ++vocaloEsc.missed;
                continue;
            }
            std::this_thread::sleep_for(1s);
            const Clock::time_point escaped = input.pressEscape();
            if (!monitor.waitForSilence(1s, 60s))
                fail("the sound never stopped");
            vocaloEsc.ms.push_back(std::max(0.0, msBetween(escaped, *monitor.lastAudible())));
        }

        const pid_t floor = spawn({ options.floor }, options.log);
        idle = measureIdle(monitor, vocalo, floor, options.cpuSeconds);
        stop(floor);

        if (options.busyRuns > 0) {
            // The voice says a line in the same time every time: a line that lasts longer ran out
            // of samples on the way, by as much as it lasts longer. Once with the machine as it
            // is, once with a busy loop on every core.
            const auto sayLongLine = [&] {
                if (!monitor.waitForSilence(1s, 60s))
                    fail("the sound never stopped");
                input.type(longLine);
                std::this_thread::sleep_for(150ms);
                const Clock::time_point entered = input.pressReturn();
                if (!monitor.waitForSound(entered, 5s))
                    fail("a long line was not heard");
                const auto first = monitor.onsetAfter(entered, 1s);
                if (!monitor.waitForSilence(1s, 60s) || !first)
                    fail("the sound never stopped");
                return msBetween(entered, *monitor.lastAudible()) - *first;
            };
            for (int i = 0; i < options.busyRuns; ++i)
                longLineQuiet.ms.push_back(sayLongLine());
            BusyLoops busy;
            for (int i = 0; i < options.busyRuns; ++i)
                measureLine(monitor, vocaloBusy, true, idleGap, typeLine, pressEnter);
            for (int i = 0; i < options.busyRuns; ++i)
                longLineBusy.ms.push_back(sayLongLine());
        }
    }
    // After the idle figures, which a megabyte's aftermath would spoil.
    echobench::Figures echoes;
    if (echo) {
        try {
            echoes = echobench::measure(input, "Vocalo 1.0", vocalo, options.echo);
        } catch (const std::runtime_error &error) {
            fail(error.what());
        }
    }
    if (withVocalo)
        stop(vocalo);

    // The reference, espeak-ng speaking each line of its standard input as a terminal hands it
    // what is typed, and the bare probes, clicking on each line.
    std::vector<std::pair<std::string, LineReader>> readers;
    if (speech)
        readers.emplace_back(
            "espeak-ng reading stdin", measureReader(monitor, { "espeak-ng" }, options, idleGap));
    if (probes)
        for (const auto &[label, command] : options.probes)
            readers.emplace_back(label, measureReader(monitor, command, options, idleGap));

    const double cpuRatio = idle.cpu / idle.floorCpu;
    const double runRatio = idle.run / idle.floorRun;
    const double wakeups = total(idle.threads);
    const double floorWakeups = total(idle.floorThreads);

    std::printf("\nVocalo on a private desktop, sound server %s\n\n", monitor.serverName().c_str());
    const auto row = [](const std::string &what, const Latencies &l) {
        std::printf("%-52s %10s %10s %8d\n", what.c_str(), number(l.median()).c_str(),
            number(l.p95()).c_str(), l.missed);
    };
    if (probes) {
        std::printf(
            "Speech (line \"%s\", n = %d per mode)\n\n", options.text.c_str(), options.runs);
        std::printf("%-52s %10s %10s %8s\n", "Enter -> first audible sample", "median ms", "p95 ms",
            "missed");
        if (speech) {
            row("  vocalo, after idle", vocaloIdle);
            row("  vocalo, back to back", vocaloBackToBack);
        }
        for (const auto &[label, reader] : readers) {
            row("  " + label + ", after idle", reader.afterIdle);
            row("  " + label + ", back to back", reader.backToBack);
        }
        std::printf("  (after idle: %d s of silence before the key; back to back: 0.5 s after the "
                    "previous line)\n",
            options.idleSeconds);
    }
    if (speech) {
        row("Esc a second into a line -> last audible", vocaloEsc);
        if (options.busyRuns > 0) {
            row("vocalo, back to back, every core busy", vocaloBusy);
            row("A long line, first to last audible, as it is", longLineQuiet);
            row("  and with every core busy", longLineBusy);
            std::printf("  (a line lasting longer than the shortest ran dry by that much: %s ms "
                        "at most as it is, %s ms with every core busy)\n",
                number(longLineQuiet.max() - longLineQuiet.min()).c_str(),
                number(longLineBusy.max() - longLineQuiet.min()).c_str());
        }
        std::printf("\n");
        std::printf("Idle for %d s, %.1f s after the last speech\n", options.cpuSeconds,
            idle.startAfterSpeechS);
        std::printf("  CPU (utime+stime)   vocalo %s %%  1 ms-timer floor %s %%  ratio %s\n",
            number(idle.cpu * 100, 2).c_str(), number(idle.floorCpu * 100, 2).c_str(),
            number(cpuRatio, 2).c_str());
        std::printf("  CPU (schedstat)     vocalo %s %%  1 ms-timer floor %s %%  ratio %s\n",
            number(idle.run * 100, 2).c_str(), number(idle.floorRun * 100, 2).c_str(),
            number(runRatio, 2).c_str());
        std::printf("  wake-ups (context switches) /s: vocalo %s, floor %s\n",
            number(wakeups).c_str(), number(floorWakeups).c_str());
        for (const auto &thread : idle.threads)
            std::printf("    %-20s %7d %10s /s\n", thread.name.c_str(), thread.tid,
                number(thread.perSecond).c_str());
        std::printf("  running streams (of open): %d of %d at the start, %d of %d at the end\n\n",
            idle.streamsAtStart.running, idle.streamsAtStart.open, idle.streamsAtEnd.running,
            idle.streamsAtEnd.open);
    }
    if (echo) {
        echobench::print(echoes);
        std::printf("\n");
    }
    if (withVocalo)
        std::printf("RSS after start-up: %.1f MiB\n", static_cast<double>(rssKiB) / 1024);
    if (withVocalo)
        std::printf("Process start -> splash mapped: %s ms\n", number(splashMs).c_str());

    std::ofstream out(options.json);
    out << "{\n"
        << "  \"text\": \"" << options.text << "\",\n"
        << "  \"sound_server\": \"" << monitor.serverName() << "\",\n"
        << "  \"rss_after_startup_kib\": " << rssKiB << ",\n"
        << "  \"start_to_splash_mapped_ms\": " << number(splashMs, 2);
    if (speech)
        out << ",\n"
            << "  \"enter_to_first_audible\": {\n"
            << "    \"vocalo_after_idle\": " << jsonLatencies(vocaloIdle) << ",\n"
            << "    \"vocalo_back_to_back\": " << jsonLatencies(vocaloBackToBack) << ",\n"
            << "    \"vocalo_back_to_back_every_core_busy\": " << jsonLatencies(vocaloBusy) << "\n"
            << "  },\n"
            << "  \"long_line_first_to_last_audible\": {\"as_it_is\": "
            << jsonLatencies(longLineQuiet)
            << ", \"every_core_busy\": " << jsonLatencies(longLineBusy) << "},\n"
            << "  \"esc_to_last_audible\": " << jsonLatencies(vocaloEsc) << ",\n"
            << "  \"idle\": {\n"
            << "    \"seconds\": " << options.cpuSeconds << ",\n"
            << "    \"start_after_last_speech_s\": " << number(idle.startAfterSpeechS, 2) << ",\n"
            << "    \"cpu_fraction\": " << number(idle.cpu, 5) << ",\n"
            << "    \"floor_cpu_fraction\": " << number(idle.floorCpu, 5) << ",\n"
            << "    \"cpu_ratio\": " << number(cpuRatio, 3) << ",\n"
            << "    \"schedstat_cpu_fraction\": " << number(idle.run, 5) << ",\n"
            << "    \"schedstat_floor_cpu_fraction\": " << number(idle.floorRun, 5) << ",\n"
            << "    \"schedstat_cpu_ratio\": " << number(runRatio, 3) << ",\n"
            << "    \"wakeups_per_second\": " << number(wakeups) << ",\n"
            << "    \"floor_wakeups_per_second\": " << number(floorWakeups) << ",\n"
            << "    \"threads\": " << jsonThreads(idle.threads) << ",\n"
            << "    \"floor_threads\": " << jsonThreads(idle.floorThreads) << ",\n"
            << "    \"streams_at_start\": {\"open\": " << idle.streamsAtStart.open
            << ", \"running\": " << idle.streamsAtStart.running << "},\n"
            << "    \"streams_at_end\": {\"open\": " << idle.streamsAtEnd.open
            << ", \"running\": " << idle.streamsAtEnd.running << "}\n"
            << "  }";
    if (echo)
        out << ",\n  \"echo\": " << echobench::json(echoes);
    if (!readers.empty()) {
        out << ",\n  \"line_readers\": {";
        for (std::size_t i = 0; i < readers.size(); ++i)
            out << (i ? "," : "") << "\n    \"" << readers[i].first
                << "\": {\"after_idle\": " << jsonLatencies(readers[i].second.afterIdle)
                << ", \"back_to_back\": " << jsonLatencies(readers[i].second.backToBack) << "}";
        out << "\n  }";
    }
    out << "\n}\n";
    std::printf("\nWritten to %s\n", options.json.c_str());
    int missed = vocaloIdle.missed + vocaloBackToBack.missed + vocaloBusy.missed
        + echoes.idle.missed + echoes.idleAnswered.missed + echoes.afterPasteAnswered.missed;
    for (const auto &[label, reader] : readers)
        missed += reader.afterIdle.missed + reader.backToBack.missed;
    return missed == 0 ? 0 : 2;
}
