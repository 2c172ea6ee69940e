#include "firmware/PageWriter.h"

#include <algorithm>
#include <cmath>
#include <span>

#include "core/Bytes.h"

namespace {

std::span<const std::uint8_t> PageData(const PageImage& image, int page)
{
    return {image.Row(page), static_cast<std::size_t>(kPageDataSize)};
}

int WritablePages(const PageImage& image)
{
    return std::min(image.PageCount(), kPageCapacity);
}

}  // namespace

float PercentStep(int pageCount)
{
    return 100.0F / static_cast<float>(pageCount + 1);
}

int BarValue(int pagesDone, float step)
{
    return static_cast<int>(RoundHalfEven(static_cast<double>(static_cast<float>(pagesDone) * step)));
}

std::string PercentText(int pagesDone, float step)
{
    const float value = static_cast<float>(pagesDone) * step;
    return std::to_string(static_cast<long long>(std::round(static_cast<double>(value)))) + "%";
}

std::uint32_t PageAddress(int page)
{
    return boot::kFlashStart + static_cast<std::uint32_t>(page) * kPageDataSize;
}

PagesWritten WritePagesDirect(BootClient& client, const PageImage& image, OperationSink& sink)
{
    sink.Progress(0, "0");
    const int pages = image.PageCount();
    const float step = PercentStep(pages);
    const std::string slash = "/" + std::to_string(pages);
    PagesWritten written;
    for (int p = 0; p < WritablePages(image); ++p) {
        sink.Live(" Page " + std::to_string(p) + slash + " ...");
        written.error = client.Write(PageAddress(p), PageData(image, p));
        if (!written.complete()) {
            sink.HideProgress();
            return written;
        }
        written.pages = p + 1;
        sink.Progress(BarValue(written.pages, step), PercentText(written.pages, step));
    }
    sink.Live("");
    sink.Log(" Loaded " + std::to_string(pages) + " pages  : OK " + kCrLf);
    sink.HideProgress();
    return written;
}

PagesVerified VerifyPagesDirect(BootClient& client, const PageImage& image, OperationSink& sink)
{
    constexpr const char* kLabel = " Verify      : ";
    sink.Progress(0, "0");
    const int pages = image.PageCount();
    const float step = PercentStep(pages);
    const std::string slash = "/" + std::to_string(pages);
    PagesVerified verified;
    Bytes read;
    for (int p = 0; p < WritablePages(image); ++p) {
        sink.Live(kLabel + std::string("page ") + std::to_string(p) + slash + " ...");
        const auto expected = PageData(image, p);
        verified.error = client.Read(PageAddress(p), expected.size(), read);
        verified.differs = verified.error == BootError::None && !std::equal(expected.begin(), expected.end(), read.begin(), read.end());
        if (!verified.complete()) {
            sink.Live("");
            sink.Log(kLabel + std::string("error at page ") + std::to_string(p) + kCrLf);
            sink.HideProgress();
            return verified;
        }
        verified.pages = p + 1;
        sink.Progress(BarValue(verified.pages, step), PercentText(verified.pages, step));
    }
    sink.Live("");
    sink.Log(kLabel + std::string("OK") + kCrLf);
    sink.HideProgress();
    return verified;
}

PagesWritten WritePagesTunnel(BootClient& client, const PageImage& image, OperationSink& sink)
{
    sink.Progress(0, "");
    const int pages = image.PageCount();
    const float step = PercentStep(pages);
    const std::string slash = "/" + std::to_string(pages);
    PagesWritten written;
    for (int p = 0; p < WritablePages(image); ++p) {
        written.error = client.Write(PageAddress(p), PageData(image, p));
        if (!written.complete()) {
            sink.HideProgress();
            return written;
        }
        written.pages = p + 1;
        sink.Progress(BarValue(written.pages, step), "");
        sink.Live("Prog. N." + std::to_string(written.pages) + slash);
    }
    sink.Log(kCrLf);
    sink.HideProgress();
    return written;
}
