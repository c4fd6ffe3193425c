#pragma once

#include "capture/PreviewSink.h"

#include <cstdint>
#include <mutex>
#include <vector>

namespace brightowl {

// The newest preview frame, handed from the driver's frame thread to the preview widget. The frame
// thread writes it (PresentFrame), the user-interface thread takes it (TakeNewest); the mutex guards it.
class PreviewFrameStore : public PreviewSink
{
public:
    void PresentFrame(const BitmapInfoHeader& header, const uint8_t* rows) override;

    // Swaps the newest frame into rows (24-bit BGR, bottom-up, padded) when one has arrived since
    // the last call; false when there is none new.
    bool TakeNewest(BitmapInfoHeader& header, std::vector<uint8_t>& rows);
    // Forgets a frame not yet taken.
    void Drop();

private:
    std::mutex mutex_;
    BitmapInfoHeader header_;   // guarded by mutex_
    std::vector<uint8_t> rows_; // guarded by mutex_
    bool fresh_ = false;        // guarded by mutex_
};

} // namespace brightowl
