// SPDX-License-Identifier: GPL-3.0-or-later
#include "CallMicrophone.h"
#include "AudioOutput.h"
#include "FliteVoice.h"

#include <atomic>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <type_traits>
#include <unistd.h>
#include <variant>
#include <vector>

using namespace microphonestate;

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

std::atomic<CallMicrophone *> made { nullptr };

// The exit path's limit: a frozen server must not hold it up.
struct Deadline
{
    SoundServer *server;
    bool passed = false;
};

void deadlinePassed(pa_mainloop_api *, pa_time_event *, const struct timeval *, void *deadline)
{
    static_cast<Deadline *>(deadline)->passed = true;
    static_cast<Deadline *>(deadline)->server->wake();
}

void unloadModule(pa_context *context, uint32_t index, pa_context_success_cb_t done, void *userdata,
    int *pending = nullptr)
{
    if (pa_operation *op = pa_context_unload_module(context, index, done, userdata)) {
        pa_operation_unref(op);
        if (pending)
            ++*pending;
    }
}

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
    m_listeners.emplace(m_server.api());
    m_server.addClient(this);
    soundServerChanged();
}

CallMicrophone::State CallMicrophone::state() const
{
    if (std::holds_alternative<Loaded>(m_state))
        return State::Ready;
    if (std::holds_alternative<Absent>(m_state) || std::holds_alternative<Removed>(m_state))
        return State::Absent;
    return State::Loading;
}

void CallMicrophone::addListener(const void *who, std::function<void()> changed)
{
    m_listeners->add(who, std::move(changed));
}

void CallMicrophone::removeListener(const void *who)
{
    m_listeners->remove(who);
}

pa_context *CallMicrophone::askedOf() const
{
    return std::visit(
        [](const auto &state) -> pa_context * {
            using S = std::decay_t<decltype(state)>;
            if constexpr (std::is_same_v<S, Absent>)
                return state.refusedBy;
            else if constexpr (std::is_same_v<S, Removed>)
                return nullptr;
            else
                return state.context;
        },
        m_state);
}

bool CallMicrophone::current(pa_context *context) const
{
    return context && context == askedOf() && context == m_server.context();
}

void CallMicrophone::become(Microphone next)
{
    const State before = state();
    m_state = std::move(next);
    if (state() != before)
        m_listeners->announce();
    // remove() may be waiting for any step.
    m_server.wake();
}

void CallMicrophone::soundServerChanged()
{
    if (m_ending)
        return;
    if (m_server.state() != SoundServer::State::Ready) {
        // What was loaded went with that server, or stays on a server we lost: a later
        // context finds it there, carrying our own process id, and takes it up again.
        if (!std::holds_alternative<Absent>(m_state) || askedOf())
            become(Absent {});
        keepTrying();
        return;
    }
    if (m_server.context() != askedOf())
        listModules();
}

void CallMicrophone::keepTrying()
{
    auto *absent = std::get_if<Absent>(&m_state);
    if (!absent || m_server.state() != SoundServer::State::Failed || absent->retry)
        return;
    absent->retry = makeTimer(m_server.api(), RetryInterval, retry, this);
}

void CallMicrophone::retry(pa_mainloop_api *, pa_time_event *, const struct timeval *, void *self)
{
    auto *microphone = static_cast<CallMicrophone *>(self);
    // The timer goes with the state that made it.
    auto *absent = std::get_if<Absent>(&microphone->m_state);
    if (!absent)
        return;
    absent->retry.reset();
    if (!microphone->m_ending)
        microphone->m_server.connect();
}

void CallMicrophone::listModules()
{
    pa_context *context = m_server.context();
    become(Listing { context });
    if (pa_operation *op = pa_context_get_module_info_list(context, moduleListed, this))
        pa_operation_unref(op);
    else
        refused("the list of modules");
}

void CallMicrophone::moduleListed(
    pa_context *context, const pa_module_info *info, int eol, void *self)
{
    auto *microphone = static_cast<CallMicrophone *>(self);
    auto *listing = std::get_if<Listing>(&microphone->m_state);
    if (!listing || !microphone->current(context))
        return;
    if (eol == 0 && info && info->name) {
        const bool sink = std::strcmp(info->name, "module-null-sink") == 0
            && hasArgument(info->argument, std::string("sink_name=") + SinkName);
        const bool source = std::strcmp(info->name, "module-remap-source") == 0
            && hasArgument(info->argument, std::string("source_name=") + SourceName);
        if (sink || source)
            listing->found.push_back({ info->index, sink, ownerIn(info->argument) });
        return;
    }
    if (eol < 0)
        microphone->refused("the list of modules");
    else if (microphone->m_ending)
        microphone->become(Absent {});
    else
        microphone->finishListing(context, std::move(listing->found));
}

void CallMicrophone::finishListing(pa_context *context, std::vector<Leftover> found)
{
    if (found.size() == 2 && found[0].sink != found[1].sink && found[0].owner == found[1].owner) {
        const Leftover &sink = found[0].sink ? found[0] : found[1];
        const Leftover &source = found[0].sink ? found[1] : found[0];
        // Ours from a connection we lost, or another Vocalo's that is still running.
        const bool ours = sink.owner == getpid();
        if (ours || anotherVocaloRuns(sink.owner)) {
            become(Loaded { context, sink.index, source.index, !ours });
            return;
        }
    }
    // Left by a process that died (kill -9, a crash), or half a pair: removed before ours loads,
    // the source first, as it reads from the sink.
    Clearing clearing { context, 0 };
    for (bool sinks : { false, true })
        for (const Leftover &leftover : found)
            if (leftover.sink == sinks)
                unloadModule(context, leftover.index, unloaded, this, &clearing.unloading);
    if (clearing.unloading == 0)
        load(context);
    else
        become(clearing);
}

void CallMicrophone::unloaded(pa_context *context, int, void *self)
{
    auto *microphone = static_cast<CallMicrophone *>(self);
    microphone->m_server.wake();
    if (auto *removed = std::get_if<Removed>(&microphone->m_state)) {
        --removed->unloading;
        return;
    }
    auto *clearing = std::get_if<Clearing>(&microphone->m_state);
    if (!clearing || clearing->context != context || --clearing->unloading > 0)
        return;
    if (microphone->m_ending)
        microphone->become(Absent {});
    else if (microphone->current(context))
        microphone->load(context);
}

void CallMicrophone::load(pa_context *context)
{
    become(LoadingSink { context });
    const std::string arguments = "sink_name=" + std::string(SinkName)
        + " rate=" + std::to_string(flitevoice::SampleRate)
        + " channels=1 sink_properties='device.description=\"Vocalo call line\" " + OwnerKey
        + std::to_string(getpid()) + "'";
    if (pa_operation *op
        = pa_context_load_module(context, "module-null-sink", arguments.c_str(), sinkLoaded, this))
        pa_operation_unref(op);
    else
        refused("its sink");
}

void CallMicrophone::sinkLoaded(pa_context *context, uint32_t index, void *self)
{
    auto *microphone = static_cast<CallMicrophone *>(self);
    const auto *loading = std::get_if<LoadingSink>(&microphone->m_state);
    if (!loading || loading->context != context)
        return;
    if (index == PA_INVALID_INDEX)
        microphone->refused("its sink");
    // Ending meanwhile: loaded means the exit path unloads what is there.
    else if (microphone->m_ending)
        microphone->become(Loaded { context, index, PA_INVALID_INDEX });
    else
        microphone->loadSource(context, index);
}

void CallMicrophone::loadSource(pa_context *context, uint32_t sinkModule)
{
    become(LoadingSource { context, sinkModule });
    const std::string arguments = "master=" + std::string(SinkName) + ".monitor source_name="
        + SourceName
        // As the sink is: PipeWire would otherwise offer it as 48 kHz stereo.
        + " channels=1 channel_map=mono master_channel_map=mono rate="
        + std::to_string(flitevoice::SampleRate) + " source_properties='device.description=Vocalo "
        + OwnerKey + std::to_string(getpid()) + "'";
    if (pa_operation *op = pa_context_load_module(
            context, "module-remap-source", arguments.c_str(), sourceLoaded, this))
        pa_operation_unref(op);
    else
        refused("its source");
}

void CallMicrophone::sourceLoaded(pa_context *context, uint32_t index, void *self)
{
    auto *microphone = static_cast<CallMicrophone *>(self);
    const auto *loading = std::get_if<LoadingSource>(&microphone->m_state);
    if (!loading || loading->context != context)
        return;
    if (index == PA_INVALID_INDEX)
        microphone->refused("its source");
    else
        microphone->become(Loaded { context, loading->sinkModule, index });
}

void CallMicrophone::refused(const char *what)
{
    pa_context *context = m_server.context();
    std::fprintf(stderr,
        "vocalo: the sound server refused the \"Vocalo\" microphone (%s: %s); speech is heard "
        "here but not in calls\n",
        what, pa_strerror(pa_context_errno(context)));
    // A half-loaded pair would be a sink nobody hears.
    if (const auto *loading = std::get_if<LoadingSource>(&m_state); loading && context)
        unloadModule(context, loading->sinkModule, nullptr, nullptr);
    become(Absent { .refusedBy = askedOf() });
}

void CallMicrophone::remove()
{
    SoundServer::Lock lock(m_server);
    if (m_ending)
        return;
    m_ending = true;
    Deadline deadline { &m_server };
    const Timer limit = makeTimer(m_server.api(), RemoveTimeout, deadlinePassed, &deadline);
    while (state() == State::Loading && !deadline.passed)
        m_server.wait();
    // Not told to the listeners: the process is ending.
    Removed removed;
    const auto *loaded = std::get_if<Loaded>(&m_state);
    pa_context *context = m_server.context();
    if (loaded && !loaded->borrowed && context && context == loaded->context)
        for (uint32_t module : { loaded->sourceModule, loaded->sinkModule })
            if (module != PA_INVALID_INDEX)
                unloadModule(context, module, unloaded, this, &removed.unloading);
    m_state = removed;
    while (std::get<Removed>(m_state).unloading > 0 && !deadline.passed)
        m_server.wait();
}

void addCallMicrophone()
{
    CallMicrophone::instance();
}

void removeCallMicrophone()
{
    // Nothing to remove where no window was ever heard in calls.
    if (CallMicrophone *microphone = CallMicrophone::existing())
        microphone->remove();
}
