// EncodeJpeg against a bare TurboJPEG tjCompress2 of the same picture, in the same run.
// Usage: bench_encode_jpeg [rounds]   (default 200 rounds per size and quality)
#include "bench/BenchUtil.h"
#include "capture/JpegEncoder.h"
#include "capture/TestPatternRenderer.h"

#include <turbojpeg.h>

#include <cstdio>
#include <cstdlib>
#include <vector>

using namespace brightowl;
using bench::Median;
using bench::NowSeconds;

namespace {

// A test-pattern frame with noise over it, so that the encoder sees detail as in a camera picture.
std::vector<uint8_t> Picture(uint32_t width, uint32_t height)
{
    TestPatternRenderer renderer;
    std::vector<uint8_t> frame;
    renderer.Render({kBiRgb, {width, height}, {1, 30}}, 40, TestPattern::Gradient, 0, "12:00:00", frame);
    uint32_t seed = 12345;
    for (uint8_t& b : frame) {
        seed = seed * 1103515245u + 12345u;
        b = static_cast<uint8_t>(std::clamp(int{b} + static_cast<int>((seed >> 24) % 17) - 8, 0, 255));
    }
    return frame;
}

} // namespace

int main(int argc, char** argv)
{
    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 200;
    tjhandle handle = tjInitCompress();
    // The machine may be shared: the best time of each is the figure least disturbed by others,
    // the medians are shown beside it.
    std::printf("%-10s %4s %9s %9s %7s %11s %11s %7s %9s\n", "size", "q", "ours min", "tj min", "ratio", "ours median",
                "tj median", "ratio", "bytes");
    bool allWithinTarget = true;
    for (const auto& [w, h] : {std::pair{640u, 480u}, {1280u, 720u}, {1920u, 1080u}}) {
        const std::vector<uint8_t> rows = Picture(w, h);
        BitmapInfoHeader header;
        header.biWidth = static_cast<int32_t>(w);
        header.biHeight = static_cast<int32_t>(h);
        header.biBitCount = 24;
        const auto capacity = static_cast<int32_t>(w * h * 4);
        std::vector<uint8_t> ours(static_cast<size_t>(capacity));
        std::vector<uint8_t> theirs(tjBufSize(static_cast<int>(w), static_cast<int>(h), TJSAMP_420));
        for (int quality : {35, 90}) {
            std::vector<double> ourTimes, theirTimes;
            int32_t size = 0;
            for (int i = 0; i < rounds + 5; ++i) {
                // Interleaved, so that both see the same cache and clock conditions.
                double t0 = NowSeconds();
                size = EncodeJpegPicture(header, rows.data(), ours.data(), capacity, quality).size;
                double t1 = NowSeconds();
                unsigned char* out = theirs.data();
                unsigned long outSize = theirs.size();
                tjCompress2(handle, rows.data(), static_cast<int>(w), RowStride24(static_cast<int32_t>(w)),
                            static_cast<int>(h), TJPF_BGR, &out, &outSize, TJSAMP_420, quality,
                            TJFLAG_BOTTOMUP | TJFLAG_NOREALLOC);
                double t2 = NowSeconds();
                if (i >= 5) { // warm-up rounds left out
                    ourTimes.push_back(t1 - t0);
                    theirTimes.push_back(t2 - t1);
                }
            }
            const double ourMin = *std::min_element(ourTimes.begin(), ourTimes.end()) * 1e3;
            const double theirMin = *std::min_element(theirTimes.begin(), theirTimes.end()) * 1e3;
            const double ourMedian = Median(ourTimes) * 1e3;
            const double theirMedian = Median(theirTimes) * 1e3;
            const double ratio = ourMin / theirMin;
            allWithinTarget = allWithinTarget && ratio <= 1.05;
            std::printf("%4ux%-5u %4d %9.3f %9.3f %7.3f %11.3f %11.3f %7.3f %9d\n", w, h, quality, ourMin, theirMin,
                        ratio, ourMedian, theirMedian, ourMedian / theirMedian, size);
        }
    }
    tjDestroy(handle);
    std::printf("target ratio <= 1.05: %s\n", allWithinTarget ? "met" : "NOT met");
    return 0;
}
