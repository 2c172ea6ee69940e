#include "firmware/PageWriter.h"

#include <algorithm>
#include <cmath>

#include "link/Frames.h"

namespace {

constexpr float kPageReplyWaitS = 1.0F;
constexpr float kDataAckWaitS = 0.8F;
constexpr std::uint8_t kPageCountByte = 0xFF;  // 256 bytes - 1

Bytes DataBlock(const PageImage& image, int page)
{
    Bytes block(kPageRowSize + 1);
    block[0] = kPageCountByte;
    std::copy_n(image.Row(page), kPageRowSize, block.begin() + 1);
    return block;
}

// Sends the data block already in TxBytes and judges its acknowledge (no pause after a failure).
bool SendDataBlock(BootClient& client, bool tunnel)
{
    BootContext& b = client.Context();
    SerialLink& link = client.Link();
    b.BootRxCount = 0;
    b.AckCheck = true;
    b.AckCount = tunnel ? 2 : 1;
    b.AckWait = kDataAckWaitS;
    b.AckByte = boot::kAck;
    b.Tunnel = tunnel;
    link.BootError = false;
    b.BootRxBuffer[0] = b.BootRxBuffer[1] = b.BootRxBuffer[2] = 0;
    if (!link.WriteRaw(b.TxBytes)) {
        link.BootError = true;
        return false;
    }
    client.BootWaitReply();
    return !link.BootError;
}

std::string LogText(const BootContext& b)
{
    return b.LogBox ? b.LogBox->Text() : std::string();
}

void SetLog(BootContext& b, const std::string& text)
{
    if (b.LogBox)
        b.LogBox->SetText(text);
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

std::array<std::uint8_t, 4> PageAddress(int page)
{
    const std::uint32_t offset = static_cast<std::uint32_t>(page) * kPageDataSize;
    return {0x08, static_cast<std::uint8_t>((offset >> 16) & 0xFF), static_cast<std::uint8_t>((offset >> 8) & 0xFF),
            0x00};
}

bool WritePagesDirect(BootClient& client, const PageImage& image, UploadProgress& progress)
{
    BootContext& b = client.Context();
    progress.SetBarRange(0, 100);
    progress.SetBarValue(0);
    progress.SetBarVisible(true);
    progress.SetPercentText("0");
    progress.SetPercentVisible(true);

    const int pages = b.PageCount;
    const float step = PercentStep(pages);
    const std::string slash = "/" + std::to_string(pages);
    const std::string base = LogText(b);
    const auto fail = [&](const std::string& text) {
        SetLog(b, LogText(b) + text);
        progress.SetBarVisible(false);
        progress.SetPercentVisible(false);
        return false;
    };

    for (int p = 0; p < pages && p <= kPageLastIndex; ++p) {
        SetLog(b, base + " Page " + std::to_string(p) + slash + " ...");
        if (!client.Exchange(frame_kind::kWrite, kPageReplyWaitS, boot::kWriteMemory))
            return fail(std::string(kCrLf) + " Tx: 0x31   " + " Rx(3): " + client.ReplyHex3() + kCrLf);
        const auto address = PageAddress(p);
        if (!client.Exchange(frame_kind::kAddress, kPageReplyWaitS, 0, address)) {
            const std::string addressText{static_cast<char>(address[0]), static_cast<char>(address[1]),
                                          static_cast<char>(address[2]), static_cast<char>(address[3])};
            return fail(std::string(kCrLf) + " Addr: " + StringToHex(addressText) + kCrLf + "  Rx(3): " +
                        client.ReplyHex3());
        }
        b.TxBytes = DataBlock(image, p);
        if (!SendDataBlock(client, false))
            return fail(std::string(kCrLf) + " data: " +
                        BytesToHex(b.BootRxBuffer.data(), static_cast<std::size_t>(std::max(b.BootRxCount, 0))) +
                        kCrLf + " Rx(3): " + client.ReplyHex3());
        const int done = p + 1;
        progress.SetBarValue(BarValue(done, step));
        progress.SetPercentText(PercentText(done, step));
    }
    SetLog(b, base + " Loaded " + std::to_string(pages) + " pages  : OK " + kCrLf);
    progress.SetBarVisible(false);
    progress.SetPercentVisible(false);
    return true;
}

bool WritePagesTunnel(BootClient& client, const PageImage& image, UploadProgress& progress)
{
    BootContext& b = client.Context();
    progress.SetBarValue(0);
    progress.SetBarVisible(true);

    const int pages = b.PageCount;
    const float step = PercentStep(pages);
    const std::string slash = "/" + std::to_string(pages);
    const std::string base = LogText(b);

    for (int p = 0; p < pages && p <= kPageLastIndex; ++p) {
        if (!client.Exchange(frame_kind::kTunnelWrite, kPageReplyWaitS, boot::kWriteMemory) ||
            !client.Exchange(frame_kind::kTunnelAddress, kPageReplyWaitS, 0, PageAddress(p))) {
            progress.SetBarVisible(false);
            return false;
        }
        Bytes payload{boot::kPassPage};
        const Bytes block = DataBlock(image, p);
        payload.insert(payload.end(), block.begin(), block.end());
        b.TxBytes = BuildLongFrame(payload);
        if (!SendDataBlock(client, true)) {
            progress.SetBarVisible(false);
            return false;
        }
        const int done = p + 1;
        progress.SetBarValue(BarValue(done, step));
        SetLog(b, base + "Prog. N." + std::to_string(done) + slash);
    }
    SetLog(b, LogText(b) + kCrLf);
    progress.SetBarVisible(false);
    return true;
}
