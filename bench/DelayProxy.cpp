#include "DelayProxy.h"

#include "BenchSupport.h"

#include <QString>

#include <algorithm>
#include <deque>
#include <string>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;

// Most connections relayed at once; a bench makes a handful.
constexpr int MaxConnections = 64;
// How often a waiting relay looks at the stop flag.
constexpr auto StopCheck = std::chrono::milliseconds(100);

void NoDelay(int socket)
{
    const int on = 1;
    setsockopt(socket, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
}

bool SendAll(int socket, const std::string& bytes)
{
    size_t sent = 0;
    while (sent < bytes.size()) {
        const ssize_t n = send(socket, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
        if (n <= 0)
            return false;
        sent += static_cast<size_t>(n);
    }
    return true;
}

timespec Timespec(Clock::duration wait)
{
    const auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(std::max(wait, Clock::duration::zero()));
    timespec ts{};
    ts.tv_sec = static_cast<time_t>(ns.count() / 1000000000);
    ts.tv_nsec = static_cast<long>(ns.count() % 1000000000);
    return ts;
}

} // namespace

TDelayProxy::TDelayProxy(int targetPort, std::chrono::microseconds roundTrip, std::chrono::seconds lifetime)
    : FTargetPort(targetPort)
    , FHalfTrip(roundTrip / 2)
    , FDeadline(Clock::now() + lifetime)
{
    FListener = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = 0;
    socklen_t length = sizeof address;
    if (FListener < 0 || bind(FListener, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0
        || listen(FListener, 16) != 0 || getsockname(FListener, reinterpret_cast<sockaddr*>(&address), &length) != 0)
        Fail(QStringLiteral("the delay proxy cannot listen on loopback"));
    FPort = ntohs(address.sin_port);
    FAcceptor = std::thread([this] { Accept(); });
}

TDelayProxy::~TDelayProxy()
{
    FStop = true;
    FAcceptor.join();
    close(FListener);
    const std::lock_guard<std::mutex> guard(FLock);
    for (std::thread& relay : FRelays)
        relay.join();
}

bool TDelayProxy::Stopping() const
{
    return FStop || Clock::now() >= FDeadline;
}

void TDelayProxy::Accept()
{
    while (!Stopping()) {
        pollfd listener{FListener, POLLIN, 0};
        const timespec wait = Timespec(StopCheck);
        if (ppoll(&listener, 1, &wait, nullptr) <= 0)
            continue;
        const int client = accept(FListener, nullptr, nullptr);
        if (client < 0)
            continue;
        const std::lock_guard<std::mutex> guard(FLock);
        const int server = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        address.sin_port = htons(static_cast<uint16_t>(FTargetPort));
        if (FLive >= MaxConnections || server < 0
            || connect(server, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
            close(client);
            if (server >= 0)
                close(server);
            continue;
        }
        NoDelay(client);
        NoDelay(server);
        ++FLive;
        FRelays.emplace_back([this, client, server] {
            Relay(client, server);
            --FLive;
        });
    }
}

void TDelayProxy::Relay(int client, int server)
{
    // One direction of the connection: the bytes read and when they are due
    // at the other end.
    struct TDirection {
        int from;
        int to;
        std::deque<std::pair<Clock::time_point, std::string>> held;
        bool open = true; // more may come from `from`
        bool closed = false; // `to` has been told that no more comes
    };
    TDirection directions[2] = {{client, server, {}}, {server, client, {}}};
    std::string buffer(65536, '\0');
    bool failed = false;
    while (!Stopping() && !failed) {
        const Clock::time_point now = Clock::now();
        Clock::duration wait = StopCheck;
        for (TDirection& d : directions) {
            while (!failed && !d.held.empty() && d.held.front().first <= now) {
                failed = !SendAll(d.to, d.held.front().second);
                d.held.pop_front();
            }
            if (!d.open && d.held.empty() && !d.closed) {
                shutdown(d.to, SHUT_WR);
                d.closed = true;
            }
            if (!d.held.empty())
                wait = std::min(wait, d.held.front().first - now);
        }
        if (directions[0].closed && directions[1].closed)
            break;
        pollfd polled[2];
        TDirection* owners[2];
        nfds_t count = 0;
        for (TDirection& d : directions) {
            if (d.open) {
                polled[count] = {d.from, POLLIN, 0};
                owners[count++] = &d;
            }
        }
        const timespec timeout = Timespec(wait);
        if (ppoll(polled, count, &timeout, nullptr) <= 0)
            continue;
        const Clock::time_point arrived = Clock::now();
        for (nfds_t i = 0; i < count; ++i) {
            if (!(polled[i].revents & (POLLIN | POLLHUP | POLLERR)))
                continue;
            const ssize_t n = recv(polled[i].fd, buffer.data(), buffer.size(), 0);
            if (n > 0)
                owners[i]->held.emplace_back(arrived + FHalfTrip, buffer.substr(0, static_cast<size_t>(n)));
            else
                owners[i]->open = false;
        }
    }
    close(client);
    close(server);
}
