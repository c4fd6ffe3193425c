#pragma once

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <optional>
#include <regex>
#include <string>
#include <thread>
#include <vector>

namespace brightowl::test {

// Headless Chromium showing one page, driven over its DevTools pipe (fds 3 and 4, messages ended by
// a zero byte), so that a test can read the live page's state while it runs in real time.
class ChromiumPage
{
public:
    ChromiumPage(const std::string& chromium, const std::string& profile, const std::string& address)
    {
        int toChrome[2], fromChrome[2];
        if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, toChrome) != 0)
            return;
        if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, fromChrome) != 0) {
            ::close(toChrome[0]);
            ::close(toChrome[1]);
            return;
        }
        const std::vector<std::string> args = {chromium,
                                               "--headless",
                                               "--no-sandbox",
                                               "--disable-gpu",
                                               "--no-first-run",
                                               "--disable-background-networking",
                                               "--disable-component-update",
                                               "--disable-sync",
                                               "--user-data-dir=" + profile,
                                               "--remote-debugging-pipe",
                                               address};
        pid_ = ::fork();
        if (pid_ == 0) {
            ::dup2(toChrome[1], 3);
            ::dup2(fromChrome[1], 4);
            int null = ::open("/dev/null", O_RDWR);
            ::dup2(null, 1);
            ::dup2(null, 2);
            std::vector<char*> argv;
            for (const std::string& arg : args)
                argv.push_back(const_cast<char*>(arg.c_str()));
            argv.push_back(nullptr);
            ::execv(argv[0], argv.data());
            ::_exit(127);
        }
        ::close(toChrome[1]);
        ::close(fromChrome[1]);
        out_ = toChrome[0];
        in_ = fromChrome[0];
    }

    ~ChromiumPage()
    {
        if (pid_ > 0) {
            Send(R"({"id":999999,"method":"Browser.close"})");
            for (int i = 0; i < 100 && ::waitpid(pid_, nullptr, WNOHANG) == 0; ++i)
                std::this_thread::sleep_for(std::chrono::milliseconds(50));
            if (::waitpid(pid_, nullptr, WNOHANG) == 0) {
                ::kill(pid_, SIGKILL);
                ::waitpid(pid_, nullptr, 0);
            }
        }
        if (out_ >= 0)
            ::close(out_);
        if (in_ >= 0)
            ::close(in_);
    }

    ChromiumPage(const ChromiumPage&) = delete;
    ChromiumPage& operator=(const ChromiumPage&) = delete;

    // The value of a JavaScript expression in the page, as text; none when there is no answer.
    std::optional<std::string> Evaluate(const std::string& expression)
    {
        if (session_.empty() && !Attach())
            return std::nullopt;
        std::string escaped;
        for (char c : expression)
            escaped += (c == '"' || c == '\\') ? std::string("\\") + c : std::string(1, c);
        std::optional<std::string> answer =
            Call(R"("sessionId":")" + session_ + R"(","method":"Runtime.evaluate","params":{"expression":")" +
                 escaped + R"(","returnByValue":true})");
        if (!answer)
            return std::nullopt;
        std::smatch match;
        if (!std::regex_search(*answer, match, std::regex(R"re("value":"([^"]*)")re")))
            return std::nullopt;
        return match[1].str();
    }

private:
    bool Attach()
    {
        for (int attempt = 0; attempt < 50; ++attempt) {
            std::optional<std::string> targets = Call(R"("method":"Target.getTargets")");
            std::smatch match;
            if (targets && std::regex_search(*targets, match,
                                             std::regex(R"re("targetId":"([0-9A-F]+)","type":"page")re"))) {
                std::optional<std::string> attached =
                    Call(R"("method":"Target.attachToTarget","params":{"targetId":")" + match[1].str() +
                         R"(","flatten":true})");
                std::smatch session;
                if (attached && std::regex_search(*attached, session, std::regex(R"re("sessionId":"([^"]+)")re"))) {
                    session_ = session[1].str();
                    return true;
                }
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
        return false;
    }

    // Sends one command and waits (at most 10 s) for its answer.
    std::optional<std::string> Call(const std::string& body)
    {
        const int id = ++lastId_;
        if (!Send("{\"id\":" + std::to_string(id) + "," + body + "}"))
            return std::nullopt;
        const std::string mark = "{\"id\":" + std::to_string(id) + ",";
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (std::chrono::steady_clock::now() < deadline) {
            for (size_t end; (end = pending_.find('\0')) != std::string::npos;) {
                std::string message = pending_.substr(0, end);
                pending_.erase(0, end + 1);
                if (message.compare(0, mark.size(), mark) == 0)
                    return message;
            }
            pollfd ready{in_, POLLIN, 0};
            if (::poll(&ready, 1, 200) <= 0)
                continue;
            char buffer[65536];
            ssize_t n = ::recv(in_, buffer, sizeof buffer, 0);
            if (n <= 0)
                return std::nullopt;
            pending_.append(buffer, static_cast<size_t>(n));
        }
        return std::nullopt;
    }

    bool Send(const std::string& message)
    {
        const std::string framed = message + '\0';
        return out_ >= 0 && ::send(out_, framed.data(), framed.size(), MSG_NOSIGNAL) ==
                                static_cast<ssize_t>(framed.size());
    }

    pid_t pid_ = -1;
    int out_ = -1;
    int in_ = -1;
    int lastId_ = 0;
    std::string session_;
    std::string pending_;
};

} // namespace brightowl::test
