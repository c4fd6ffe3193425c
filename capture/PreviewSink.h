#pragma once

#include "capture/BitmapInfoHeader.h"

#include <cstdint>

namespace brightowl {

// Where a capture window's preview frames go (the preview widget, or a test's recorder).
class PreviewSink
{
public:
    virtual ~PreviewSink() = default;
    // A decoded frame, 24-bit BGR rows as header describes them (bottom-up when biHeight > 0, rows
    // padded to 4 bytes). Called on the driver's frame thread; the rows are valid only during the call.
    virtual void PresentFrame(const BitmapInfoHeader& header, const uint8_t* rows) = 0;
    // The preview was switched on or off; user-interface thread.
    virtual void PreviewStateChanged(bool) {}
    // Milliseconds between preview frames; user-interface thread.
    virtual void PreviewRateChanged(int32_t) {}
};

} // namespace brightowl
