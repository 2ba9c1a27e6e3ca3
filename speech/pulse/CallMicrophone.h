// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "Listeners.h"
#include "MicrophoneState.h"
#include "SoundServer.h"

#include <cstdint>
#include <functional>
#include <optional>

// The input device "Vocalo" that a call program picks as its microphone, there while the program
// runs: a null sink that the talking windows' call-bound streams play into, and a source
// remapped from its monitor. A remapped source rather than the monitor itself, because only a
// source of its own can carry the name "Vocalo" and is offered as a microphone; modules loaded
// through libpulse, because PulseAudio and pipewire-pulse both serve the same two.
//
// Loaded whenever the process's context becomes ready, so it comes back with a restarted
// server. Modules outlive the client that loaded them: whoever loads them unloads them, and a
// pair left by a process that died is removed before loading ours, so there is never two.
//
// It tells its own listeners when state() changes, so the streams that play into it look again
// then and not at every change of the server.
//
// Everything but instance() and remove() runs on the loop's thread or under its lock.
class CallMicrophone final : private SoundServer::Client
{
public:
    static constexpr const char *SinkName = "vocalo_call_line";
    static constexpr const char *SourceName = "vocalo_microphone";

    enum class State { Absent, Loading, Ready };

    // Made at first use and never destroyed: the exit path removes it with remove().
    static CallMicrophone &instance();
    // The one made so far, if any; from any thread.
    static CallMicrophone *existing();

    State state() const;

    // `changed` runs on the loop's thread after state() changed, never inside a call of the
    // listener's; `who` names it for removeListener.
    void addListener(const void *who, std::function<void()> changed);
    void removeListener(const void *who);

    // Unloads what this process loaded, waiting for the server at most a second; after it the
    // microphone is not loaded again. Never on the loop's thread.
    void remove();

private:
    CallMicrophone();

    void soundServerChanged() override;
    void become(microphonestate::Microphone next);
    void keepTrying();
    void listModules();
    void finishListing(pa_context *context, std::vector<microphonestate::Leftover> found);
    void load(pa_context *context);
    void loadSource(pa_context *context, uint32_t sinkModule);
    void refused(const char *what);
    pa_context *askedOf() const;
    bool current(pa_context *context) const;

    static void moduleListed(pa_context *context, const pa_module_info *info, int eol, void *self);
    static void sinkLoaded(pa_context *context, uint32_t index, void *self);
    static void sourceLoaded(pa_context *context, uint32_t index, void *self);
    static void unloaded(pa_context *context, int success, void *self);
    static void retry(pa_mainloop_api *, pa_time_event *, const struct timeval *, void *self);

    SoundServer &m_server;
    microphonestate::Microphone m_state;
    // remove() was called: what is in flight settles, and nothing new is asked.
    bool m_ending = false;
    std::optional<Listeners> m_listeners;
};
