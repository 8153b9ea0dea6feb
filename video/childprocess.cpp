#include "childprocess.h"

#include "leftovers.h"
#include "localfiles.h"
#include "outsidetext.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <vector>

#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace {

// The end of the child's standard error that is kept: enough for its reason,
// however much it writes.
constexpr qsizetype keptErrors = 4096;
// How long a write or a wait goes without looking at the stop flag.
constexpr int stopCheck = 100; // ms
constexpr int exitCheck = 10;  // ms, once the child's stderr is closed

bool raised(const std::atomic<bool>* stop)
{
    return stop && stop->load(std::memory_order_relaxed);
}

} // namespace

ChildProcess::~ChildProcess()
{
    kill();
}

bool ChildProcess::start(const QList<QByteArray>& arguments)
{
    QList<QByteArray> copies = arguments;
    std::vector<char*> argv;
    for (QByteArray& argument : copies)
        argv.push_back(argument.data());
    argv.push_back(nullptr);

    int input[2];
    int errors[2];
    if (::pipe2(input, O_CLOEXEC) != 0) {
        m_error = systemError(errno);
        return false;
    }
    if (::pipe2(errors, O_CLOEXEC) != 0) {
        m_error = systemError(errno);
        ::close(input[0]);
        ::close(input[1]);
        return false;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, input[0], STDIN_FILENO);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, errors[1], STDERR_FILENO);
    // The signals this process catches or ignores as they were.
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t defaults;
    sigemptyset(&defaults);
    for (int signal : {SIGPIPE, SIGINT, SIGTERM, SIGHUP, SIGCHLD})
        sigaddset(&defaults, signal);
    posix_spawnattr_setsigdefault(&attributes, &defaults);
    posix_spawnattr_setpgroup(&attributes, 0);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP | POSIX_SPAWN_SETSIGDEF);
    const int error = posix_spawn(&m_pid, argv[0], &actions, &attributes, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    ::close(input[0]);
    ::close(errors[1]);
    if (error != 0) {
        m_pid = -1;
        ::close(input[1]);
        ::close(errors[0]);
        m_error = systemError(error);
        return false;
    }
    // Never blocked: every wait is a poll that looks at the stop flag.
    m_input = input[1];
    m_errors = errors[0];
    ::fcntl(m_input, F_SETFL, O_NONBLOCK);
    ::fcntl(m_errors, F_SETFL, O_NONBLOCK);
    // Killed and reaped on every way out until it is reaped here.
    m_ticket = leftovers::addChild(m_pid);
    if (m_ticket < 0) {
        kill();
        m_error = systemError(EMFILE);
        return false;
    }
    return true;
}

// Reads what the child wrote on its stderr so far, keeping the end; false
// once it is closed.
bool ChildProcess::readErrors()
{
    // Only the end of each is kept, however long the lines and however many.
    const auto keepEnd = [](QByteArray& text) {
        if (text.size() > keptErrors)
            text.remove(0, text.size() - keptErrors);
    };
    char buffer[4096];
    for (;;) {
        const ssize_t count = ::read(m_errors, buffer, sizeof buffer);
        if (count > 0) {
            m_errorLine.append(buffer, count);
            // Each whole line in place, the rest moved once: a child that
            // writes millions of short lines costs little more than reading
            // them.
            qsizetype start = 0;
            for (qsizetype end; (end = m_errorLine.indexOf('\n', start)) >= 0; start = end + 1) {
                const QByteArrayView line(m_errorLine.constData() + start, end - start);
                if (m_lineFilter && m_lineFilter(line))
                    continue;
                if (m_firstErrorLine.isEmpty())
                    m_firstErrorLine = line.first(std::min(line.size(), keptErrors)).toByteArray();
                m_errorTail.append(line);
                m_errorTail.append('\n');
            }
            m_errorLine.remove(0, start);
            keepEnd(m_errorTail);
            keepEnd(m_errorLine);
            continue;
        }
        if (count < 0 && errno == EINTR)
            continue;
        if (count < 0 && errno == EAGAIN)
            return true;
        ::close(m_errors);
        m_errors = -1;
        return false;
    }
}

bool ChildProcess::write(const char* data, size_t size, const std::atomic<bool>* stop)
{
    while (size > 0) {
        if (raised(stop)) {
            m_error = systemError(EINTR);
            return false;
        }
        pollfd fds[2] = {{m_input, POLLOUT, 0}, {m_errors, POLLIN, 0}};
        if (::poll(fds, m_errors >= 0 ? 2 : 1, stopCheck) < 0 && errno != EINTR) {
            m_error = systemError(errno);
            return false;
        }
        if (m_errors >= 0 && fds[1].revents != 0)
            readErrors();
        if (fds[0].revents == 0)
            continue;
        const ssize_t written = ::write(m_input, data, size);
        if (written < 0) {
            if (errno == EAGAIN || errno == EINTR)
                continue;
            m_error = systemError(errno);
            return false;
        }
        data += written;
        size -= size_t(written);
    }
    return true;
}

void ChildProcess::closeInput()
{
    if (m_input >= 0)
        ::close(m_input);
    m_input = -1;
}

// Whether the child has ended (and is reaped now).
bool ChildProcess::reap(bool block)
{
    if (m_pid <= 0)
        return true;
    pid_t pid;
    do
        pid = ::waitpid(m_pid, &m_status, block ? 0 : WNOHANG);
    while (pid < 0 && errno == EINTR);
    if (pid == 0)
        return false;
    // A wait that failed leaves the child's end unknown, which is no success.
    m_waitError = pid < 0 ? errno : 0;
    leftovers::release(m_ticket);
    m_ticket = -1;
    m_pid = -1;
    return true;
}

ChildProcess::End ChildProcess::finish(const std::atomic<bool>* stop,
                                       const std::function<void()>& waiting)
{
    closeInput();
    End end;
    while (!reap(false)) {
        if (waiting)
            waiting();
        if (raised(stop)) {
            kill();
            end.stopped = true;
            return end;
        }
        if (m_errors >= 0) {
            pollfd fd = {m_errors, POLLIN, 0};
            if (::poll(&fd, 1, stopCheck) > 0)
                readErrors();
        } else {
            ::poll(nullptr, 0, exitCheck);
        }
    }
    if (m_errors >= 0)
        readErrors();
    if (m_waitError != 0) {
        end.waitError = m_waitError;
        return end;
    }
    end.exited = WIFEXITED(m_status);
    end.status = end.exited ? WEXITSTATUS(m_status) : 0;
    end.signal = WIFSIGNALED(m_status) ? WTERMSIG(m_status) : 0;
    return end;
}

void ChildProcess::kill()
{
    if (m_pid > 0) {
        ::kill(m_pid, SIGKILL);
        reap(true);
    }
    closeInput();
    if (m_errors >= 0)
        ::close(m_errors);
    m_errors = -1;
}

QString ChildProcess::lastErrorLine() const
{
    const QList<QByteArray> lines = (m_errorTail + m_errorLine).trimmed().split('\n');
    return shownText(fileNameFromBytes(lines.constLast().trimmed()));
}
