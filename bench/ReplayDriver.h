#pragma once

#include "capture/TestPatternDriver.h"
#include "capture/TestPatternRenderer.h"

#include <turbojpeg.h>

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <thread>
#include <vector>

namespace brightowl::bench {

// A capture driver that loops the JPEG pictures of a Motion-JPEG file (pictures back to back, as
// ffmpeg's "-f mjpeg" writes them) at a fixed rate, as a camera delivering MJPG would. The capture
// path decodes them with libv4lconvert like a camera's. Owns its frame thread (Start to Stop).
class ReplayDriver : public TestPatternDriver
{
public:
    ReplayDriver(std::vector<std::vector<uint8_t>> pictures, int fps) : pictures_(std::move(pictures)), fps_(fps)
    {
        if (!pictures_.empty()) {
            tjhandle handle = tjInitDecompress();
            int width = 0, height = 0, subsampling = 0, colorspace = 0;
            tjDecompressHeader3(handle, pictures_[0].data(), static_cast<unsigned long>(pictures_[0].size()), &width,
                                &height, &subsampling, &colorspace);
            tjDestroy(handle);
            size_ = {static_cast<uint32_t>(width), static_cast<uint32_t>(height)};
        }
    }
    ~ReplayDriver() override { Stop(); }

    // The pictures of a Motion-JPEG file, split at each start-of-image marker; empty when unreadable.
    static std::vector<std::vector<uint8_t>> ReadPictures(const char* path)
    {
        std::vector<uint8_t> bytes;
        if (std::FILE* file = std::fopen(path, "rb")) {
            uint8_t chunk[1 << 16];
            for (size_t n; (n = std::fread(chunk, 1, sizeof chunk, file)) > 0;)
                bytes.insert(bytes.end(), chunk, chunk + n);
            std::fclose(file);
        }
        std::vector<std::vector<uint8_t>> pictures;
        size_t start = 0;
        for (size_t i = 2; i + 2 < bytes.size(); ++i) {
            // An end-of-image marker directly followed by the next start-of-image marker.
            if (bytes[i - 2] == 0xFF && bytes[i - 1] == 0xD9 && bytes[i] == 0xFF && bytes[i + 1] == 0xD8) {
                pictures.emplace_back(bytes.begin() + static_cast<std::ptrdiff_t>(start),
                                      bytes.begin() + static_cast<std::ptrdiff_t>(i));
                start = i;
            }
        }
        if (bytes.size() > start + 4)
            pictures.emplace_back(bytes.begin() + static_cast<std::ptrdiff_t>(start), bytes.end());
        return pictures;
    }

    std::vector<uint8_t> VideoFormat() const override
    {
        BitmapInfoHeader header;
        header.biWidth = static_cast<int32_t>(size_.width);
        header.biHeight = static_cast<int32_t>(size_.height);
        header.biBitCount = 24;
        header.biCompression = kMjpg;
        header.biSizeImage = size_.width * size_.height * 3;
        std::vector<uint8_t> block(sizeof header);
        std::memcpy(block.data(), &header, sizeof header);
        return block;
    }
    VideoMode CurrentMode() const override
    {
        return {kMjpg, size_, {1, static_cast<uint32_t>(fps_)}};
    }
    bool SetMode(const VideoMode&) override { return false; }

    bool Start(FrameSink sink) override
    {
        if (!IsOpen() || pictures_.empty() || thread_.joinable())
            return thread_.joinable();
        stop_ = false;
        thread_ = std::thread([this, sink = std::move(sink)] { Run(sink); });
        return true;
    }
    void Stop() override
    {
        if (!thread_.joinable())
            return;
        {
            std::lock_guard lock(mutex_);
            stop_ = true;
        }
        wake_.notify_all();
        thread_.join();
    }

private:
    static constexpr uint32_t kMjpg = FourCc('M', 'J', 'P', 'G');

    // Frame n is due at start + n intervals; a late frame's missed slots are dropped, as cameras do.
    void Run(const FrameSink& sink)
    {
        using namespace std::chrono;
        const auto interval = duration_cast<steady_clock::duration>(duration<double>(1.0 / fps_));
        const auto start = steady_clock::now();
        size_t next = 0;
        for (int64_t slot = 0;; ++slot) {
            {
                std::unique_lock lock(mutex_);
                if (wake_.wait_until(lock, start + slot * interval, [this] { return stop_; }))
                    return;
            }
            const std::vector<uint8_t>& picture = pictures_[next];
            next = (next + 1) % pictures_.size();
            FrameHeader frame;
            frame.data = picture.data();
            frame.bytesUsed = static_cast<uint32_t>(picture.size());
            frame.bufferLength = static_cast<uint32_t>(picture.size());
            frame.timestampUs = duration_cast<microseconds>(steady_clock::now().time_since_epoch()).count();
            sink(frame);
            const auto behind = (steady_clock::now() - start) / interval;
            if (behind > slot)
                slot = behind;
        }
    }

    std::vector<std::vector<uint8_t>> pictures_;
    int fps_;
    FrameSize size_;
    std::thread thread_;
    std::mutex mutex_;
    std::condition_variable wake_;
    bool stop_ = false; // guarded by mutex_
};

} // namespace brightowl::bench
