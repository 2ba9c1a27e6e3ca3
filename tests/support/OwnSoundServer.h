// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QProcess>
#include <QString>

// A PulseAudio server of the test's own, with a null sink as its default, so a test can stop,
// freeze and start it. Point PULSE_SERVER at address() before anything talks to a server.
class OwnSoundServer
{
public:
    static constexpr const char *SinkName = "vocalo_own_sink";

    // `dir` holds the server's socket; it must outlive the server.
    explicit OwnSoundServer(const QString &dir);
    ~OwnSoundServer();
    OwnSoundServer(const OwnSoundServer &) = delete;
    OwnSoundServer &operator=(const OwnSoundServer &) = delete;

    QString address() const { return "unix:" + m_socket; }

    // Starts it and waits until it answers; false when it does not within ten seconds.
    bool start();
    void kill();
    // SIGSTOP and SIGCONT: a server that hangs, and one that comes back.
    void freeze();
    void thaw();

private:
    QString m_socket;
    QProcess m_server;
};
