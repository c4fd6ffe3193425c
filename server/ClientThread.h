#pragma once

#include "server/ClientContext.h"
#include "server/WorkerThread.h"

#include <memory>

namespace brightowl {

// Serves one accepted connection on a thread of its own: reads one request, answers it with the
// camera stream, a file, the 404 or the 501 answer, logs it, closes it and raises the reap flag.
// Owns its ClientContext (and so the connection) until its thread ends. The ListenThread owns it.
class ClientThread
{
public:
    explicit ClientThread(std::unique_ptr<ClientContext> context);
    ~ClientThread() = default;
    ClientThread(const ClientThread&) = delete;
    ClientThread& operator=(const ClientThread&) = delete;

    // Creates the thread held at its start gate; false when it cannot be created.
    // The reap flag is raised once the thread has ended, so that the pass it starts finds it ended.
    bool Create();
    void Resume() { thread_.Resume(); }
    bool HasEnded() const { return thread_.HasEnded(); }

    // The connection the thread was given, for closing it when the thread cannot be created.
    ClientContext* Context() { return context_.get(); }

private:
    int32_t Run();
    void Answer(ClientContext& context);
    void LogLine(ClientContext& context, const char* what);

    std::unique_ptr<ClientContext> context_;
    WorkerThread thread_;  // last: joined before the context goes
};

} // namespace brightowl
