#include "platform/SshPath.h"

#include "platform/EventYield.h"

#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <condition_variable>
#include <exception>
#include <functional>
#include <mutex>
#include <thread>

namespace platform {

SshCancel::SshCancel() : fd_(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {}

SshCancel::~SshCancel()
{
    if (fd_ >= 0)
        ::close(fd_);
}

void SshCancel::cancel()
{
    const std::lock_guard lock(mutex_);
    cancelled_ = true;
    const uint64_t one = 1;
    [[maybe_unused]] const ssize_t written = ::write(fd_, &one, sizeof one);
    if (socket_ >= 0)
        ::shutdown(socket_, SHUT_RDWR);
}

bool SshCancel::cancelled() const
{
    const std::lock_guard lock(mutex_);
    return cancelled_;
}

void SshCancel::watch(int socket)
{
    const std::lock_guard lock(mutex_);
    socket_ = socket;
    if (cancelled_ && socket >= 0)
        ::shutdown(socket, SHUT_RDWR);
}

SshPath::SshPath(std::vector<SshRoute> hops, const SshTunnel::Trust &trust, SshCancel *cancel,
                 const SshTunnel::AskSecret &askSecret)
{
    if (hops.empty())
        throw SshError("No SSH server is given.");
    for (size_t i = 0; i + 1 < hops.size(); ++i) {
        hops[i].databaseHost = hops[i + 1].host;
        hops[i].databasePort = hops[i + 1].port;
    }
    const auto seconds = std::chrono::seconds(30);
    for (size_t i = 0; i < hops.size(); ++i) {
        const int socket = i == 0 ? connectTcp(hops[0].host, hops[0].port, cancel ? cancel->fd() : -1, seconds)
                                  : connectTcp("127.0.0.1", tunnels_.back()->localPort(), cancel ? cancel->fd() : -1, seconds);
        if (cancel)
            cancel->watch(socket);
        try {
            tunnels_.push_back(std::make_unique<SshTunnel>(hops[i], trust, socket, askSecret));
        } catch (const SshError &e) {
            if (cancel)
                cancel->watch(-1);
            // A hop behind a jump host that cannot be reached is said as such.
            if (i > 0 && !tunnels_.back()->alive())
                throw SshError(std::string(e.what()) + " (the jump host " + hops[i - 1].host + " dropped the way)");
            throw;
        }
        if (cancel)
            cancel->watch(-1);
        if (cancel && cancel->cancelled())
            throw SshError("The SSH login was given up.");
    }
}

SshPath::~SshPath()
{
    // The hop nearest the database first: each one rides on the one before.
    while (!tunnels_.empty())
        tunnels_.pop_back();
}

bool SshPath::alive() const
{
    for (const auto &t : tunnels_)
        if (!t->alive())
            return false;
    return true;
}

std::string SshPath::description() const
{
    std::string text;
    for (const auto &t : tunnels_)
        text += (text.empty() ? "" : " → ") + t->description();
    return text;
}

std::unique_ptr<SshPath> openSshPath(const std::vector<SshRoute> &hops, const SshTunnel::Trust &trust, EventYield *yield,
                                     const SshTunnel::AskSecret &askSecret)
{
    if (!yield)
        return std::make_unique<SshPath>(hops, trust, nullptr, askSecret);

    struct Shared {
        std::mutex mutex;
        std::condition_variable changed;
        const std::function<void()> *question = nullptr; // asked on this thread, then cleared
        bool done = false;
        std::unique_ptr<SshPath> path;
        std::exception_ptr failure;
    } shared;
    SshCancel cancel;
    // The opening's thread puts its question here and waits until this thread has asked it; a
    // question given up is never asked, and its answer stays no (or no secret).
    const auto askHere = [&](const std::function<void()> &question) {
        std::unique_lock lock(shared.mutex);
        if (cancel.cancelled())
            return;
        shared.question = &question;
        shared.changed.notify_all();
        shared.changed.wait(lock, [&] { return shared.question == nullptr; });
    };
    const SshTunnel::Trust trustHere = [&](const SshHostKey &key) {
        bool yes = false;
        askHere([&] { yes = trust && trust(key); });
        return yes;
    };
    SshTunnel::AskSecret secretHere;
    if (askSecret)
        secretHere = [&](const SshSecretQuestion &question) {
            std::string answer;
            askHere([&] { answer = askSecret(question); });
            return answer;
        };
    std::thread opening([&] {
        std::unique_ptr<SshPath> path;
        std::exception_ptr failure;
        try {
            path = std::make_unique<SshPath>(hops, trustHere, &cancel, secretHere);
        } catch (...) {
            failure = std::current_exception();
        }
        const std::lock_guard lock(shared.mutex);
        shared.path = std::move(path);
        shared.failure = failure;
        shared.done = true;
        shared.changed.notify_all();
    });
    const auto giveUp = [&] {
        {
            const std::lock_guard lock(shared.mutex);
            cancel.cancel();
            shared.question = nullptr;
            shared.changed.notify_all();
        }
        opening.join();
    };
    try {
        for (;;) {
            const std::function<void()> *question = nullptr;
            {
                std::unique_lock lock(shared.mutex);
                shared.changed.wait_for(lock, std::chrono::milliseconds(10), [&] { return shared.done || shared.question; });
                if (shared.done)
                    break;
                question = shared.question;
            }
            if (question) {
                (*question)();
                const std::lock_guard lock(shared.mutex);
                shared.question = nullptr;
                shared.changed.notify_all();
            }
            yield->whileWaiting();
        }
    } catch (...) {
        giveUp();
        throw;
    }
    opening.join();
    if (shared.failure)
        std::rethrow_exception(shared.failure);
    return std::move(shared.path);
}

} // namespace platform
