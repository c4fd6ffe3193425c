#include "server/ListenThread.h"

#include "server/ClientContext.h"
#include "server/ClientThread.h"
#include "server/Clock.h"
#include "server/Prompt.h"
#include "server/ServerState.h"
#include "server/Socket.h"

namespace brightowl {

namespace {

constexpr char kServiceUnavailable[] = "HTTP/1.0 503 Service Unavailable\r\n\r\n";
constexpr char kPortMessage[] = "An error occurred starting network communications.\nThe port chosen may be in use, "
                                "shut down the server and change the port number.";
constexpr char kListenMessage[] = "An error occurred while trying to listen for connections.\n, Please restart the "
                                  "server.";

} // namespace

ListenThread::ListenThread(ServerState& state) : state_(state) {}

ListenThread::~ListenThread() = default;

int32_t ListenThread::Run()
{
    Socket listener = Socket::CreateListener(state_.port.load(std::memory_order_relaxed));
    if (!listener.IsValid()) {
        ShowMessage(kPortMessage);
    } else if (!listener.Listen(5)) {
        ShowMessage(kListenMessage);
    } else {
        state_.listeningPort.store(listener.LocalPort(), std::memory_order_relaxed);
        Accept(listener);
    }
    Drain();
    state_.listeningPort.store(0, std::memory_order_relaxed);
    return 0;
}

void ListenThread::Accept(Socket& listener)
{
    while (state_.stopFlag.load(std::memory_order_relaxed) != 1) {
        if (state_.reapFlag.load(std::memory_order_relaxed) == 1)
            Reap();
        Socket connection;
        IoResult result = listener.Accept(connection);
        if (result.status == IoStatus::WouldBlock) {
            state_.clock.SleepMs(300);
            continue;
        }
        if (result.status != IoStatus::Done)
            return;
        if (static_cast<int64_t>(clients_.size()) < state_.maxClients.load(std::memory_order_relaxed)) {
            if (!HandOver(std::move(connection)))
                return;
            continue;
        }
        connection.Send(kServiceUnavailable, sizeof kServiceUnavailable - 1);
        connection.ShutdownAndDrain();
    }
}

void ListenThread::Reap()
{
    // Cleared before the pass: a thread that ends during it raises the flag again for the next pass.
    state_.reapFlag.store(0, std::memory_order_relaxed);
    for (size_t count = clients_.size(); count > 0; --count) {
        std::unique_ptr<ClientThread> client = std::move(clients_.front());
        clients_.pop_front();
        if (!client->HasEnded())
            clients_.push_back(std::move(client));
    }
    state_.connectionCount.store(static_cast<int32_t>(clients_.size()), std::memory_order_relaxed);
}

bool ListenThread::HandOver(Socket connection)
{
    StreamTuning tuning;
    {
        std::lock_guard lock(state_.tuningMutex);
        tuning = state_.tuning;
    }
    auto context = std::make_unique<ClientContext>(state_.logConnections.load(std::memory_order_relaxed),
                                                   state_.captureDevice, state_.stopFlag, state_,
                                                   std::move(connection), state_.camUrl.Get(), tuning);
    auto client = std::make_unique<ClientThread>(std::move(context));
    if (!client->Create()) {
        // The connection dies with the object that could not start; the listener stops accepting.
        client->Context()->socket.ShutdownAndDrain();
        return false;
    }
    clients_.push_back(std::move(client));
    clients_.back()->Resume();
    state_.connectionCount.fetch_add(1, std::memory_order_relaxed);
    return true;
}

void ListenThread::Drain()
{
    while (!clients_.empty()) {
        std::unique_ptr<ClientThread> client = std::move(clients_.front());
        clients_.pop_front();
        // A sleep only while the thread still runs: one polling interval for every thread, ended
        // or not, made Stop Server with 50 viewers take ten seconds.
        while (!client->HasEnded())
            state_.clock.SleepMs(200);
    }
    state_.connectionCount.store(0, std::memory_order_relaxed);
}

void ListenThread::ShowMessage(const char* text)
{
    state_.prompt.MessageFromWorker("", text, PromptIcon::Warning, state_.stopFlag);
}

} // namespace brightowl
