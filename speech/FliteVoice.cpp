// SPDX-License-Identifier: GPL-3.0-or-later
#include "FliteVoice.h"

extern "C" {
#include <flite.h>
#include <flite_version.h>

cst_voice *register_cmu_us_kal16(const char *voxdir);
}

#include <csetjmp>
#include <cstdio>
#include <mutex>

namespace flitevoice {
namespace {

std::mutex &fliteLock()
{
    static std::mutex lock;
    return lock;
}

// Flite's error path longjmps to cst_errjmp when it is set and calls exit() when it is not.
// The jump buffer is process-wide, like the lock that guards it. The functions that call setjmp
// hold no C++ objects with destructors, so jumping back over Flite's frames skips nothing.
std::jmp_buf g_errorJump;

// Written only inside registerVoice(), so that a longjmp back into it finds it in memory.
cst_voice *g_registeredVoice = nullptr;

void registerVoice()
{
    jmp_buf *previous = cst_errjmp;
    cst_errjmp = &g_errorJump;
    if (setjmp(g_errorJump) == 0) {
        flite_init();
        g_registeredVoice = register_cmu_us_kal16(nullptr);
    } else {
        g_registeredVoice = nullptr;
    }
    cst_errjmp = previous;
}

struct LoadedVoice
{
    cst_voice *voice = nullptr;
    // Read from the voice once, so that describing it never waits for the lock a long sentence
    // holds.
    QString name;
};

// Every use of Flite comes through here first and call_once holds the others back until the voice
// is in, so loading needs no lock; afterwards the voice is only used under the lock.
const LoadedVoice &loadedVoice()
{
    static LoadedVoice loaded;
    static std::once_flag once;
    std::call_once(once, [] {
        registerVoice();
        loaded.voice = g_registeredVoice;
        if (loaded.voice) {
            loaded.name = QString::fromUtf8(
                get_param_string(loaded.voice->features, "name", loaded.voice->name));
        } else {
            loaded.name = QStringLiteral("none");
            std::fputs("vocalo: the Flite voice cmu_us_kal16 could not be loaded\n", stderr);
        }
    });
    return loaded;
}

struct StreamContext
{
    SampleReceiver *receiver;
    bool stopped;
};

int streamChunk(
    const cst_wave *wave, int start, int size, int /*last*/, cst_audio_streaming_info *info)
{
    auto *context = static_cast<StreamContext *>(info->userdata);
    if (size <= 0)
        return CST_AUDIO_STREAM_CONT;
    // No C++ exception may unwind through Flite's C frames.
    try {
        if (context->receiver->receive(reinterpret_cast<const int16_t *>(wave->samples) + start,
                static_cast<std::size_t>(size)))
            return CST_AUDIO_STREAM_CONT;
    } catch (...) { }
    context->stopped = true;
    return CST_AUDIO_STREAM_STOP;
}

// Returns the synthesised utterance, or null when Flite raised an error. The utterance given in
// is lost on an error: Flite may have freed parts of it, so leaking it is the only safe choice.
cst_utterance *guardedSynth(cst_utterance *utterance, cst_voice *voice)
{
    jmp_buf *previous = cst_errjmp;
    cst_errjmp = &g_errorJump;
    if (setjmp(g_errorJump) != 0) {
        cst_errjmp = previous;
        return nullptr;
    }
    cst_utterance *result = flite_do_synth(utterance, voice, utt_synth);
    cst_errjmp = previous;
    return result;
}

} // namespace

Outcome synthesize(const QByteArray &sentence, Prosody prosody, SampleReceiver &receiver)
{
    cst_voice *voice = loadedVoice().voice;
    if (!voice)
        return Outcome::Failed;
    std::lock_guard lock(fliteLock());

    StreamContext context { &receiver, false };
    cst_utterance *utterance = new_utterance();
    utt_set_input_text(utterance, sentence.constData());
    // The utterance's own features shadow the voice's; the shared voice is never written.
    feat_set_float(
        utterance->features, "int_f0_target_mean", static_cast<float>(prosody.meanPitchHz));
    feat_set_float(
        utterance->features, "duration_stretch", static_cast<float>(prosody.durationStretch));
    cst_audio_streaming_info *info = new_audio_streaming_info();
    info->asc = streamChunk;
    info->userdata = &context;
    // The utterance owns the streaming info from here and frees it with itself.
    feat_set(utterance->features, "streaming_info", audio_streaming_info_val(info));

    cst_utterance *done = guardedSynth(utterance, voice);
    if (!done)
        return Outcome::Failed;
    delete_utterance(done);
    return context.stopped ? Outcome::Stopped : Outcome::Finished;
}

QString description()
{
    return QStringLiteral("Flite %1, voice %2")
        .arg(QString::fromLatin1(FLITE_PROJECT_VERSION), loadedVoice().name);
}

} // namespace flitevoice
