// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "SoundServer.h"

#include <cstdint>

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

    State state() const { return m_state; }

    // Unloads what this process loaded, waiting for the server at most a second; after it the
    // microphone is not loaded again. Never on the loop's thread.
    void remove();

private:
    CallMicrophone();

    void soundServerChanged() override;
    void setState(State state);
    void keepTrying();
    void load();
    void loadSource();
    void refused(const char *what);
    bool current(pa_context *context) const;

    static void moduleListed(pa_context *context, const pa_module_info *info, int eol, void *self);
    static void sinkLoaded(pa_context *context, uint32_t index, void *self);
    static void sourceLoaded(pa_context *context, uint32_t index, void *self);
    static void unloaded(pa_context *context, int success, void *self);
    static void retry(pa_mainloop_api *, pa_time_event *, const struct timeval *, void *self);
    static void gaveUpWaiting(
        pa_mainloop_api *, pa_time_event *, const struct timeval *, void *self);

    SoundServer &m_server;
    State m_state = State::Absent;
    // The context the device was asked of: a new one (a restarted server) asks again.
    pa_context *m_context = nullptr;
    uint32_t m_sinkModule = PA_INVALID_INDEX;
    uint32_t m_sourceModule = PA_INVALID_INDEX;
    // Another running Vocalo loaded the pair: it is used, and left to that process to unload.
    bool m_borrowed = false;
    pa_time_event *m_retry = nullptr;
    bool m_ending = false;
    int m_unloading = 0;
    bool m_gaveUp = false;
};
