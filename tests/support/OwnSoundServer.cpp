// SPDX-License-Identifier: GPL-3.0-or-later
#include "OwnSoundServer.h"
#include "Desktop.h"

#include <csignal>

OwnSoundServer::OwnSoundServer(const QString &dir) : m_socket(dir + "/native") { }

OwnSoundServer::~OwnSoundServer()
{
    thaw();
    kill();
}

bool OwnSoundServer::start()
{
    m_server.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    desktop::endWithThisProcess(m_server);
    m_server.start("pulseaudio",
        { "--daemonize=no", "--exit-idle-time=-1", "--use-pid-file=no", "-n", "--disable-shm=yes",
            "--disallow-exit", "--log-level=error", "-L",
            "module-native-protocol-unix auth-anonymous=1 socket=" + m_socket, "-L",
            QString("module-null-sink sink_name=%1 rate=16000 channels=1").arg(SinkName), "-L",
            "module-always-sink" });
    if (!m_server.waitForStarted())
        return false;
    return desktop::waitUntil(
        [&] {
            return desktop::run("pactl", { "--server=" + address(), "set-default-sink", SinkName })
                       .exitCode
                == 0;
        },
        10000);
}

void OwnSoundServer::kill()
{
    desktop::reap(m_server);
}

void OwnSoundServer::freeze()
{
    if (m_server.state() != QProcess::NotRunning)
        ::kill(static_cast<pid_t>(m_server.processId()), SIGSTOP);
}

void OwnSoundServer::thaw()
{
    if (m_server.state() != QProcess::NotRunning)
        ::kill(static_cast<pid_t>(m_server.processId()), SIGCONT);
}
