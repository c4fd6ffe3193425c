#include "capture/qt/PreviewFrameStore.h"

#include <cstdlib>
#include <cstring>

namespace brightowl {

void PreviewFrameStore::PresentFrame(const BitmapInfoHeader& header, const uint8_t* rows)
{
    if (rows == nullptr || header.biWidth <= 0 || header.biHeight == 0 || header.biBitCount != 24)
        return;
    const size_t bytes = static_cast<size_t>(RowStride24(header.biWidth)) *
                         static_cast<size_t>(std::abs(static_cast<int64_t>(header.biHeight)));
    std::lock_guard lock(mutex_);
    header_ = header;
    rows_.resize(bytes); // reuses the buffer the widget handed back
    std::memcpy(rows_.data(), rows, bytes);
    fresh_ = true;
}

bool PreviewFrameStore::TakeNewest(BitmapInfoHeader& header, std::vector<uint8_t>& rows)
{
    std::lock_guard lock(mutex_);
    if (!fresh_)
        return false;
    header = header_;
    rows.swap(rows_);
    fresh_ = false;
    return true;
}

void PreviewFrameStore::Drop()
{
    std::lock_guard lock(mutex_);
    fresh_ = false;
}

} // namespace brightowl
