#pragma once

#include <QString>
#include <QtGlobal>
#include <atomic>
#include <thread>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tramelle::test {

// A named pipe that notices being opened for reading. A second thread keeps trying to
// open the writing end without waiting, which succeeds only while a reader has it open;
// it then closes at once, so a reader that would wait for data gets an end of file and
// the test goes on (and fails) instead of hanging.
class NamedPipe
{
public:
    explicit NamedPipe(const QString& path) : m_path(path.toLocal8Bit())
    {
        m_made = ::mkfifo(m_path.constData(), 0600) == 0;
        if (m_made)
            m_watch = std::thread([this] { Watch(); });
    }
    ~NamedPipe()
    {
        m_stop = true;
        if (m_watch.joinable())
            m_watch.join();
        ::unlink(m_path.constData());
    }
    NamedPipe(const NamedPipe&) = delete;
    NamedPipe& operator=(const NamedPipe&) = delete;

    bool Made() const { return m_made; }
    // True when anyone opened the pipe for reading.
    bool WasOpened() const { return m_opened; }

private:
    void Watch()
    {
        while (!m_stop) {
            const int fd = ::open(m_path.constData(), O_WRONLY | O_NONBLOCK);
            if (fd >= 0) {
                m_opened = true;
                ::close(fd);
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    }

    QByteArray m_path;
    bool m_made = false;
    std::atomic<bool> m_stop{false};
    std::atomic<bool> m_opened{false};
    std::thread m_watch;
};

} // namespace tramelle::test
