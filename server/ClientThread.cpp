#include "server/ClientThread.h"

#include "server/CameraStream.h"
#include "server/ConnectionLog.h"
#include "server/Prompt.h"
#include "server/Request.h"
#include "server/RequestPath.h"
#include "server/SendAll.h"
#include "server/SendFile.h"
#include "server/ServerState.h"

#include <vector>

namespace brightowl {

namespace {

constexpr char kNotImplemented[] = "HTTP/1.0 501 Not Implemented\r\n";
constexpr char kNotFound[] = "HTTP/1.0 404 File Not Found\r\n\r\n";

int32_t SendText(const char* text, size_t length, Socket& socket, Clock& clock)
{
    return SendAll(reinterpret_cast<const uint8_t*>(text), static_cast<uint32_t>(length), socket, clock);
}

} // namespace

ClientThread::ClientThread(std::unique_ptr<ClientContext> context) : context_(std::move(context)) {}

bool ClientThread::Create()
{
    ServerState& state = context_->serverState;
    return thread_.Create([this] { Run(); }, [&state] { state.reapFlag.store(1, std::memory_order_relaxed); });
}

int32_t ClientThread::Run()
{
    std::unique_ptr<ClientContext> context = std::move(context_);
    // Taking the connection over: it must be non-blocking; a connection that cannot be made so
    // is closed (below) without an answer or a log line.
    if (context->socket.MakeNonBlocking()) {
        LogLine(*context, "Connection received from: ");
        Answer(*context);
        LogLine(*context, "Connection closed: ");
        context->socket.ShutdownAndDrain();
    }
    context->socket.Close();
    context.reset();
    return 0;
}

void ClientThread::LogLine(ClientContext& context, const char* what)
{
    if (context.logConnections == 0)
        return;
    std::optional<std::string> peer = context.socket.PeerAddress();
    if (!peer)
        return;
    if (WriteLogLine(what + *peer) == 0) {
        ServerState& state = context.serverState;
        state.prompt.MessageFromWorker("", "Error writing to log file!", PromptIcon::Warning, state.stopFlag);
    }
}

void ClientThread::Answer(ClientContext& context)
{
    Clock& clock = context.serverState.clock;
    std::string request;
    if (!ReadRequest(context.socket, clock, request))
        return;
    RequestLine line = ParseRequest(request);
    if (line.kind == RequestLine::Kind::NotImplemented) {
        SendText(kNotImplemented, sizeof kNotImplemented - 1, context.socket, clock);
        return;
    }
    if (line.kind != RequestLine::Kind::Get)
        return;
    if (EqualsIgnoringCase(line.target, context.camUrl)) {
        std::vector<uint8_t> sendBuffer;
        SendCameraStream(context, clock, sendBuffer);
        return;
    }
    std::optional<std::string> path = MapRequestPath(line.target);
    if (!path)
        return;
    const std::string file = EqualsIgnoringCase(*path, "www/") ? "www/index.html" : *path;
    if (SendFile(file, context.socket, clock, true) == -2) {
        SendText(kNotFound, sizeof kNotFound - 1, context.socket, clock);
        SendFile("www/404.html", context.socket, clock, false);
    }
}

} // namespace brightowl
