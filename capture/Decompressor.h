#pragma once

#include "capture/BitmapInfoHeader.h"

#include <cstdint>
#include <cstring>
#include <memory>

namespace brightowl {

// A decoded frame: one allocation holding the bitmap header followed, biSize bytes after its start,
// by the 24-bit BGR rows it describes (bottom-up, each row padded to 4 bytes).
class DecodedPicture
{
public:
    explicit DecodedPicture(std::unique_ptr<uint8_t[]> block) : block_(std::move(block)) {}
    // The header is copied out: the block is plain bytes, not a BitmapInfoHeader object.
    BitmapInfoHeader Header() const
    {
        BitmapInfoHeader header;
        std::memcpy(&header, block_.get(), sizeof header);
        return header;
    }
    const uint8_t* Rows() const { return block_.get() + Header().biSize; }
    uint8_t* Block() { return block_.get(); }

private:
    std::unique_ptr<uint8_t[]> block_;
};

// Turns a driver's frames of one input format into 24-bit pictures of the output format.
// Used by one thread at a time.
class Decompressor
{
public:
    virtual ~Decompressor() = default;
    // A newly allocated picture, or none when the frame cannot be decoded.
    virtual std::unique_ptr<DecodedPicture> Decompress(const uint8_t* data, uint32_t bytes) = 0;
};

} // namespace brightowl
