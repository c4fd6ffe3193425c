#pragma once

#include "server/WorkerThread.h"

#include <cstdint>
#include <list>
#include <memory>

namespace brightowl {

class ClientThread;
class Socket;
struct ServerState;

// Accepts connections on the configured port and hands each to a new ClientThread, refusing those
// beyond the client limit; reaps ended client threads and waits for all of them before it ends.
// Runs on its own thread; owns its client threads. The ServerController owns it.
class ListenThread
{
public:
    explicit ListenThread(ServerState& state);
    ~ListenThread();
    ListenThread(const ListenThread&) = delete;
    ListenThread& operator=(const ListenThread&) = delete;

    bool Create() { return thread_.Create([this] { Run(); }); }
    void Resume() { thread_.Resume(); }
    bool HasEnded() const { return thread_.HasEnded(); }

private:
    int32_t Run();
    void Accept(Socket& listener);
    void Reap();
    bool HandOver(Socket connection);
    void Drain();
    void ShowMessage(const char* text);

    ServerState& state_;
    std::list<std::unique_ptr<ClientThread>> clients_;  // used by the listening thread only
    WorkerThread thread_;                                // last: joined before the list goes
};

} // namespace brightowl
