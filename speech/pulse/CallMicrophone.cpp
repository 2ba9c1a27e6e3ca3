// SPDX-License-Identifier: GPL-3.0-or-later
#include "CallMicrophone.h"
#include "FliteVoice.h"

#include <atomic>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

// A server that went away is asked again this often, so the microphone is back for the call
// program soon after the server is, without waiting for the user to speak.
constexpr pa_usec_t RetryInterval = 2 * PA_USEC_PER_SEC;
// The exit path waits no longer than this for the server: a frozen one must not hold it up.
constexpr pa_usec_t RemoveTimeout = PA_USEC_PER_SEC;

// Written into both modules' arguments, where any client can read it: the process that loaded
// them, so a later start can tell a leftover from a pair another running Vocalo uses.
constexpr const char *OwnerKey = "vocalo.owner=";

std::string commandOf(pid_t pid)
{
    std::ifstream comm("/proc/" + std::to_string(pid) + "/comm");
    std::string name;
    std::getline(comm, name);
    return name;
}

bool anotherVocaloRuns(pid_t owner)
{
    return owner > 0 && owner != getpid() && ::kill(owner, 0) == 0
        && commandOf(owner) == commandOf(getpid());
}

pid_t ownerIn(const char *argument)
{
    const char *at = argument ? std::strstr(argument, OwnerKey) : nullptr;
    return at ? static_cast<pid_t>(std::strtol(at + std::strlen(OwnerKey), nullptr, 10)) : 0;
}

// `key=value` as a whole word of a module's argument.
bool hasArgument(const char *argument, const std::string &word)
{
    if (!argument)
        return false;
    for (const char *at = std::strstr(argument, word.c_str()); at;
         at = std::strstr(at + 1, word.c_str())) {
        const char after = at[word.size()];
        if ((at == argument || at[-1] == ' ') && (after == '\0' || after == ' '))
            return true;
    }
    return false;
}

struct Leftover
{
    uint32_t index;
    bool sink;
    pid_t owner;
};

std::vector<Leftover> leftovers;

std::atomic<CallMicrophone *> made { nullptr };

} // namespace

CallMicrophone &CallMicrophone::instance()
{
    static CallMicrophone *microphone = new CallMicrophone;
    made.store(microphone);
    return *microphone;
}

CallMicrophone *CallMicrophone::existing()
{
    return made.load();
}

CallMicrophone::CallMicrophone() : m_server(SoundServer::instance())
{
    SoundServer::Lock lock(m_server);
    m_server.addClient(this);
    soundServerChanged();
}

bool CallMicrophone::current(pa_context *context) const
{
    return context && context == m_context && context == m_server.context() && !m_ending;
}

void CallMicrophone::setState(State state)
{
    if (state == m_state)
        return;
    m_state = state;
    m_server.tellClients();
    m_server.wake();
}

void CallMicrophone::soundServerChanged()
{
    if (m_ending)
        return;
    if (m_server.state() != SoundServer::State::Ready) {
        // What was loaded went with that server, or stays on a server we lost: a later
        // context finds it there, carrying our own process id, and takes it up again.
        m_context = nullptr;
        m_sinkModule = m_sourceModule = PA_INVALID_INDEX;
        m_borrowed = false;
        setState(State::Absent);
        keepTrying();
        return;
    }
    if (m_server.context() == m_context)
        return;
    m_context = m_server.context();
    setState(State::Loading);
    leftovers.clear();
    if (pa_operation *op = pa_context_get_module_info_list(m_context, moduleListed, this))
        pa_operation_unref(op);
    else
        refused("the list of modules");
}

void CallMicrophone::keepTrying()
{
    if (m_server.state() != SoundServer::State::Failed || m_retry)
        return;
    m_retry = newTimer(m_server.api(), RetryInterval, retry, this);
}

void CallMicrophone::retry(
    pa_mainloop_api *api, pa_time_event *timer, const struct timeval *, void *self)
{
    auto *microphone = static_cast<CallMicrophone *>(self);
    api->time_free(timer);
    microphone->m_retry = nullptr;
    if (!microphone->m_ending)
        microphone->m_server.connect();
}

void CallMicrophone::moduleListed(
    pa_context *context, const pa_module_info *info, int eol, void *self)
{
    auto *microphone = static_cast<CallMicrophone *>(self);
    if (!microphone->current(context))
        return;
    if (eol == 0 && info && info->name) {
        const bool sink = std::strcmp(info->name, "module-null-sink") == 0
            && hasArgument(info->argument, std::string("sink_name=") + SinkName);
        const bool source = std::strcmp(info->name, "module-remap-source") == 0
            && hasArgument(info->argument, std::string("source_name=") + SourceName);
        if (sink || source)
            leftovers.push_back({ info->index, sink, ownerIn(info->argument) });
        return;
    }
    if (eol < 0) {
        microphone->refused("the list of modules");
        return;
    }
    if (leftovers.size() == 2 && leftovers[0].sink != leftovers[1].sink
        && leftovers[0].owner == leftovers[1].owner) {
        const Leftover &sink = leftovers[0].sink ? leftovers[0] : leftovers[1];
        const Leftover &source = leftovers[0].sink ? leftovers[1] : leftovers[0];
        // Ours from a connection we lost, or another Vocalo's that is still running.
        const bool ours = sink.owner == getpid();
        if (ours || anotherVocaloRuns(sink.owner)) {
            microphone->m_borrowed = !ours;
            microphone->m_sinkModule = sink.index;
            microphone->m_sourceModule = source.index;
            microphone->setState(State::Ready);
            return;
        }
    }
    // Left by a process that died (kill -9, a crash), or half a pair: removed before ours loads,
    // the source first, as it reads from the sink.
    for (bool sinks : { false, true })
        for (const Leftover &leftover : leftovers)
            if (leftover.sink == sinks)
                if (pa_operation *op
                    = pa_context_unload_module(context, leftover.index, unloaded, microphone)) {
                    pa_operation_unref(op);
                    ++microphone->m_unloading;
                }
    if (microphone->m_unloading == 0)
        microphone->load();
}

void CallMicrophone::unloaded(pa_context *context, int, void *self)
{
    auto *microphone = static_cast<CallMicrophone *>(self);
    --microphone->m_unloading;
    microphone->m_server.wake();
    if (microphone->m_unloading > 0 || microphone->m_state != State::Loading)
        return;
    if (microphone->current(context))
        microphone->load();
    else if (microphone->m_ending)
        microphone->setState(State::Absent);
}

void CallMicrophone::load()
{
    const std::string arguments = "sink_name=" + std::string(SinkName)
        + " rate=" + std::to_string(flitevoice::SampleRate)
        + " channels=1 sink_properties='device.description=\"Vocalo call line\" " + OwnerKey
        + std::to_string(getpid()) + "'";
    if (pa_operation *op = pa_context_load_module(
            m_context, "module-null-sink", arguments.c_str(), sinkLoaded, this))
        pa_operation_unref(op);
    else
        refused("its sink");
}

void CallMicrophone::sinkLoaded(pa_context *context, uint32_t index, void *self)
{
    auto *microphone = static_cast<CallMicrophone *>(self);
    if (context != microphone->m_context)
        return;
    microphone->m_sinkModule = index;
    if (index == PA_INVALID_INDEX) {
        microphone->refused("its sink");
        return;
    }
    // Ending meanwhile: ready means the exit path unloads what is there.
    if (microphone->m_ending) {
        microphone->setState(State::Ready);
        return;
    }
    microphone->loadSource();
}

void CallMicrophone::loadSource()
{
    const std::string arguments = "master=" + std::string(SinkName) + ".monitor source_name="
        + SourceName
        // As the sink is: PipeWire would otherwise offer it as 48 kHz stereo.
        + " channels=1 channel_map=mono master_channel_map=mono rate="
        + std::to_string(flitevoice::SampleRate) + " source_properties='device.description=Vocalo "
        + OwnerKey + std::to_string(getpid()) + "'";
    if (pa_operation *op = pa_context_load_module(
            m_context, "module-remap-source", arguments.c_str(), sourceLoaded, this))
        pa_operation_unref(op);
    else
        refused("its source");
}

void CallMicrophone::sourceLoaded(pa_context *context, uint32_t index, void *self)
{
    auto *microphone = static_cast<CallMicrophone *>(self);
    if (context != microphone->m_context)
        return;
    microphone->m_sourceModule = index;
    if (index == PA_INVALID_INDEX) {
        microphone->refused("its source");
        return;
    }
    microphone->setState(State::Ready);
}

void CallMicrophone::refused(const char *what)
{
    std::fprintf(stderr,
        "vocalo: the sound server refused the \"Vocalo\" microphone (%s: %s); speech is heard "
        "here but not in calls\n",
        what, pa_strerror(pa_context_errno(m_server.context())));
    // A half-loaded pair would be a sink nobody hears.
    if (m_sinkModule != PA_INVALID_INDEX && m_server.context())
        if (pa_operation *op
            = pa_context_unload_module(m_server.context(), m_sinkModule, nullptr, nullptr))
            pa_operation_unref(op);
    m_sinkModule = m_sourceModule = PA_INVALID_INDEX;
    setState(State::Absent);
}

void CallMicrophone::gaveUpWaiting(
    pa_mainloop_api *, pa_time_event *, const struct timeval *, void *self)
{
    auto *microphone = static_cast<CallMicrophone *>(self);
    microphone->m_gaveUp = true;
    microphone->m_server.wake();
}

void CallMicrophone::remove()
{
    SoundServer::Lock lock(m_server);
    if (m_ending)
        return;
    m_ending = true;
    pa_mainloop_api *api = m_server.api();
    if (m_retry) {
        api->time_free(m_retry);
        m_retry = nullptr;
    }
    m_gaveUp = false;
    pa_time_event *limit = newTimer(api, RemoveTimeout, gaveUpWaiting, this);
    while (m_state == State::Loading && !m_gaveUp)
        m_server.wait();
    pa_context *context = m_server.context();
    if (m_state == State::Ready && !m_borrowed && context && context == m_context) {
        for (uint32_t module : { m_sourceModule, m_sinkModule })
            if (module != PA_INVALID_INDEX)
                if (pa_operation *op = pa_context_unload_module(context, module, unloaded, this)) {
                    pa_operation_unref(op);
                    ++m_unloading;
                }
    }
    while (m_unloading > 0 && !m_gaveUp)
        m_server.wait();
    api->time_free(limit);
    m_state = State::Absent;
}
