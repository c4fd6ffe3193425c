#pragma once

#include <functional>

namespace brightowl {

class CaptureWindowFactory;
class Prompt;
class ShellOpener;

// The platform services the main window is built on: the real ones in the program, stand-ins at
// these seams in tests. Each outlives the window.
struct AppServices
{
    CaptureWindowFactory& captureWindows;
    Prompt& prompt;
    ShellOpener& shell;
    std::function<bool()> startSocketLayer;
};

} // namespace brightowl
