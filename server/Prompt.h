#pragma once

#include <atomic>
#include <cstdint>
#include <string>

namespace brightowl {

enum class PromptIcon
{
    None,
    Information,
    Warning,     // the exclamation icon
    Error,       // the stop icon
    Question
};

// The program's message boxes. The application shows them with Qt on the user-interface thread;
// tests record them. Any thread may call; the call returns when the user has dismissed the box.
class Prompt
{
public:
    virtual ~Prompt() = default;

    // An OK box. An empty caption shows the application's name.
    virtual void Message(const std::string& caption, const std::string& text, PromptIcon icon) = 0;

    // An OK / Cancel box; true for OK.
    virtual bool Question(const std::string& caption, const std::string& text, PromptIcon icon) = 0;

    // For a server thread: like Message, but stops waiting (the box stays on screen) once stopFlag
    // reads 1, so that Stop Server, which waits for that thread on the user-interface thread,
    // cannot deadlock with a box nobody has answered yet.
    virtual void MessageFromWorker(const std::string& caption, const std::string& text, PromptIcon icon,
                                   const std::atomic<int32_t>& stopFlag) = 0;
};

} // namespace brightowl
