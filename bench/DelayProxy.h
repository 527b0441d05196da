#pragma once
// A TCP relay on loopback that holds every byte back for half a round trip
// in each direction: the server as it answers from another building or over
// a VPN. The bench points gbak and the window at it.

#include <atomic>
#include <chrono>
#include <mutex>
#include <thread>
#include <vector>

class TDelayProxy {
public:
    // Listens on 127.0.0.1 (a free port) and relays each connection to
    // 127.0.0.1:targetPort with roundTrip added to its round trips. The relay
    // stops when destroyed, and by itself after `lifetime` at the latest
    // (connections then end), so that a bench that stops half-way leaves
    // nothing running.
    TDelayProxy(
        int targetPort, std::chrono::microseconds roundTrip, std::chrono::seconds lifetime = std::chrono::hours(3));
    ~TDelayProxy();
    TDelayProxy(const TDelayProxy&) = delete;
    TDelayProxy& operator=(const TDelayProxy&) = delete;

    int Port() const { return FPort; }

private:
    void Accept();
    void Relay(int client, int server);
    bool Stopping() const;

    int FTargetPort;
    std::chrono::microseconds FHalfTrip;
    std::chrono::steady_clock::time_point FDeadline;
    int FListener = -1;
    int FPort = 0;
    std::atomic<bool> FStop{false};
    std::atomic<int> FLive{0}; // connections being relayed
    std::mutex FLock;
    std::vector<std::thread> FRelays;
    std::thread FAcceptor;
};
