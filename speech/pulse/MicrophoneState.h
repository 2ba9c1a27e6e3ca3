// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "SoundServer.h"

#include <pulse/pulseaudio.h>

#include <cstdint>
#include <sys/types.h>
#include <variant>
#include <vector>

// Where the call microphone's pair of modules stands, as one value, as a speech instance's route
// is: each state holds the context it was asked of and the module indices it knows, so a source
// index without its sink, or a retry beside a loaded pair, cannot be written.
//
// Made, changed and destroyed on the sound server's loop thread or under its lock only.
namespace microphonestate {

// A module of an earlier pair found on the server.
struct Leftover
{
    uint32_t index;
    bool sink;
    pid_t owner;
};

// No server, or the server refused the pair. `refusedBy` is the context that refused it: asked
// again only of a new one. While the server is missing, `retry` asks for it again.
struct Absent
{
    pa_context *refusedBy = nullptr;
    Timer retry {};
};

// What the server holds of earlier pairs is being listed...
struct Listing
{
    pa_context *context;
    std::vector<Leftover> found {};
};

// ...and a dead process's pair, or half a pair, unloaded before ours loads.
struct Clearing
{
    pa_context *context;
    int unloading;
};

struct LoadingSink
{
    pa_context *context;
};

struct LoadingSource
{
    pa_context *context;
    uint32_t sinkModule;
};

// The source is missing only where the process began to end before it was asked for.
struct Loaded
{
    pa_context *context;
    uint32_t sinkModule;
    uint32_t sourceModule;
    // Another running Vocalo loaded the pair: it is used, and left to that process to unload.
    bool borrowed = false;
};

// The process is ending: what it loaded is being unloaded, and nothing is loaded again.
struct Removed
{
    int unloading = 0;
};

using Microphone
    = std::variant<Absent, Listing, Clearing, LoadingSink, LoadingSource, Loaded, Removed>;

} // namespace microphonestate
