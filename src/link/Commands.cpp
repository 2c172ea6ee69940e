#include "link/Commands.h"

#include "core/ResultCodes.h"
#include "link/Answers.h"
#include "link/Frames.h"

namespace {

constexpr int kIdentificationMinCount = 36;
constexpr int kEepromAnswerCount = 106;
constexpr int kFlashDataStart = 4;
// ACK, STX, LEN (2), 1024 data bytes, CKS, LF, EOT.
constexpr int kFlashAnswerMinCount = kFlashDataStart + 1024 + 3;
constexpr int kMaxFlashAddress = 0xFFFFFF;

std::uint8_t Byte(long value, int shift)
{
    return static_cast<std::uint8_t>((value >> shift) & 0xFF);
}

int Decode(SerialLink& link, int index, std::string& message)
{
    return DecodeAnswer(index, link.Rx.RxBuffer, link.Rx.RxCount, message);
}

// The status byte at `index`, believed only when the answer is a whole, well-formed short frame.
int DecodeStatus(SerialLink& link, int index, std::string& message)
{
    if (!IsWellFormedAnswer(link.Rx, ctl::SOH)) {
        message = MalformedAnswerText(link.Rx);
        return code::kMalformed;
    }
    return Decode(link, index, message);
}

}  // namespace

std::string NoAnswerText(const SerialLink& link)
{
    if (link.Rx.RxCount <= 0)
        return "Serial error";
    return "Rx: " + BytesToHex(link.Rx.RxBuffer, static_cast<std::size_t>(link.Rx.RxCount));
}

int ReadInstrumentInfo(SerialLink& link, InstrumentInfo& info)
{
    info = InstrumentInfo{};
    link.SendFrame({'I'}, kAnswerWaitS);
    if (!link.Rx.RxFrameDone) {
        info.Message = NoAnswerText(link);
        return code::kNoFrame;
    }
    if (!IsWellFormedAnswer(link.Rx, ctl::SOH)) {
        info.Message = MalformedAnswerText(link.Rx);
        return code::kMalformed;
    }
    if (link.Rx.RxCount < kIdentificationMinCount) {
        const int result = Decode(link, 4, info.Message);
        // A short answer never identifies an instrument, whatever its status byte says.
        if (result != code::kOk)
            return result;
        info.Message = "Error (Rx: " + BytesToHex(link.Rx.RxBuffer, static_cast<std::size_t>(link.Rx.RxCount)) + ")";
        return code::kMalformed;
    }
    return ParseInfoAnswer(link.Rx.RxBuffer, link.Rx.RxCount, info);
}

int CommitParams(SerialLink& link, std::string& message)
{
    link.SendFrame({'r'}, kAnswerWaitS);
    return DecodeStatus(link, 3, message);
}

int ReadEepromBlock(SerialLink& link, int address, Bytes& data, std::string& message)
{
    message.clear();
    if (address < 0 || address > 0xFFFF)
        return code::kRefused;
    link.SendFrame({'e', 'd', 0x00, Byte(address, 8), Byte(address, 0), 0x00}, kAnswerWaitS);
    if (!link.Rx.RxFrameDone)
        return code::kNoFrame;
    if (link.Rx.RxCount != kEepromAnswerCount) {
        message = "  Rx error at address: " + ZeroPadded(address, 3) + kCrLf + "  Rx: " +
                  BytesToHex(link.Rx.RxBuffer, static_cast<std::size_t>(link.Rx.RxCount));
        return code::kNoFrame;
    }
    if (!IsWellFormedAnswer(link.Rx, ctl::SOH)) {
        message = MalformedAnswerText(link.Rx);
        return code::kMalformed;
    }
    data.assign(link.Rx.RxBuffer.begin() + 3, link.Rx.RxBuffer.begin() + 3 + kEepromBlockSize);
    return code::kOk;
}

int WriteEepromBlock(SerialLink& link, int address, const Bytes& data, std::string& message)
{
    message.clear();
    if (address < 0 || address > 0xFFFF || data.size() > kMaxEepromWrite)
        return code::kRefused;
    Bytes payload;
    payload.reserve(5 + data.size());
    payload = {'e', 0x00, 0x01, Byte(address, 8), Byte(address, 0)};
    payload.insert(payload.end(), data.begin(), data.end());
    link.SendFrame(payload, kAnswerWaitS);
    if (!link.Rx.RxFrameDone)
        return code::kNoFrame;
    return DecodeStatus(link, 3, message);
}

static bool FlashRangeFits(const FlashPageRecord& record, long pageSize, std::size_t areaNeededPerPage)
{
    const long pages = static_cast<long>(record.LastPage) - record.FirstPage + 1;
    const long lastAddress = static_cast<long>(record.LastPage) * pageSize + (kFlashBlocksPerPage - 1) * kFlashBlockSize;
    return record.FirstPage >= 0 && lastAddress <= kMaxFlashAddress &&
           static_cast<std::size_t>(pages) * areaNeededPerPage <= kFlashDataArea;
}

static std::string PageOrderText(const FlashPageRecord& record)
{
    return std::to_string(record.FirstPage) + " bigger then " + std::to_string(record.LastPage);
}

static std::string PageRangeText(const FlashPageRecord& record)
{
    return "Pages " + std::to_string(record.FirstPage) + "-" + std::to_string(record.LastPage) + " out of range";
}

int ReadFlashPages(SerialLink& link, FlashPageRecord& record)
{
    if (record.FirstPage > record.LastPage) {
        record.Message = PageOrderText(record);
        return code::kRefused;
    }
    if (!FlashRangeFits(record, 4096, kFlashBlocksPerPage * kFlashBlockSize)) {
        record.Message = PageRangeText(record);
        return code::kRefused;
    }
    record.Count = 0;
    record.Text.clear();
    record.Data.assign(kFlashDataArea, 0);
    for (int page = record.FirstPage; page <= record.LastPage; ++page) {
        for (int block = 0; block < kFlashBlocksPerPage; ++block) {
            const long address = static_cast<long>(page) * 4096 + block * kFlashBlockSize;
            link.SendFrame({0xE5, Byte(address, 16), Byte(address, 8), 0x00, 0x04, 0x00}, kAnswerWaitS);
            if (!link.Rx.RxFrameDone)
                return code::kNoFrame;
            if (!IsWellFormedAnswer(link.Rx)) {
                record.Message = MalformedAnswerText(link.Rx);
                return code::kMalformed;
            }
            // The whole 1024-byte payload must be there: never the frame's own CKS, LF and EOT.
            if (link.Rx.RxCount < kFlashAnswerMinCount)
                return code::kShortFlashBlock;
            const auto first = link.Rx.RxBuffer.begin() + kFlashDataStart;
            std::copy(first, first + kFlashBlockSize, record.Data.begin() + record.Count);
            record.Text += BytesToText(link.Rx.RxBuffer, kFlashDataStart, kFlashBlockSize);
            record.Count += kFlashBlockSize;
        }
    }
    return code::kOk;
}

int WriteFlashPages(SerialLink& link, FlashPageRecord& record)
{
    if (record.FirstPage > record.LastPage) {
        record.Message = PageOrderText(record);
        return code::kRefused;
    }
    const long pageSize = record.Count;
    if (pageSize <= 0) {
        record.Message = "Page size " + std::to_string(pageSize) + " out of range";
        return code::kRefused;
    }
    if (!FlashRangeFits(record, pageSize, 0)) {
        record.Message = PageRangeText(record);
        return code::kRefused;
    }
    for (int page = record.FirstPage; page <= record.LastPage; ++page) {
        for (int block = 0; block < kFlashBlocksPerPage; ++block) {
            const long address = page * pageSize + block * kFlashBlockSize;
            Bytes payload(6 + kFlashBlockSize);
            payload[0] = 0xE6;
            payload[1] = Byte(address, 16);
            payload[2] = Byte(address, 8);
            payload[3] = Byte(address, 0);
            payload[4] = 0x04;
            payload[5] = 0x00;
            const auto first = record.Data.begin() + block * kFlashBlockSize;
            std::copy(first, first + kFlashBlockSize, payload.begin() + 6);
            link.SendFrame(payload, kAnswerWaitS);
            if (!link.Rx.RxFrameDone) {
                record.Message = NoAnswerText(link);
                return code::kNoFrame;
            }
            std::string decoded;
            const int result = DecodeStatus(link, 3, decoded);
            if (result != code::kOk) {
                record.Message = decoded + kCrLf + "Tx: " + BytesToHex(payload.data(), 1) + "<" +
                                 BytesToHex(payload.data() + 1, 3) + ">" + "<" + BytesToHex(payload.data() + 4, 2) +
                                 ">" + " +<1024>" + kCrLf + "NumBlocco: " + std::to_string(block);
                return result;
            }
        }
    }
    return code::kOk;
}

int WifiWriteValues(SerialLink& link, int registerNumber, const std::vector<int>& values, std::string& message)
{
    message.clear();
    if (values.size() > kMaxWifiValues || registerNumber < 0 || registerNumber > 0xFF)
        return code::kRefused;
    Bytes payload{'0', static_cast<std::uint8_t>(registerNumber)};
    for (const int value : values)
        payload.push_back(static_cast<std::uint8_t>(value & 0xFF));
    link.SendFrame(payload, kAnswerWaitS);
    if (!link.Rx.RxFrameDone) {
        message = "NO EOT";
        return code::kNoFrame;
    }
    return DecodeStatus(link, 3, message);
}

int WifiCommand(SerialLink& link, int subCommand, std::string& message)
{
    message.clear();
    if (subCommand < 0 || subCommand > 0xFF)
        return code::kRefused;
    const double wait = subCommand == 1 ? kWifiModuleSwitchWaitS : kAnswerWaitS;
    link.SendFrame({'2', static_cast<std::uint8_t>(subCommand)}, wait);
    if (!link.Rx.RxFrameDone) {
        message = " NO EOT";
        return code::kNoFrame;
    }
    return DecodeStatus(link, 3, message);
}

std::string AnswerStatement(const SerialLink& link, int code)
{
    const RxState& rx = link.Rx;
    if (code == code::kReadBackDiffers) {
        int answered = code::kOk;
        const std::string text = GetAnswerText(rx, false, answered);
        return "the value read back differs from the value written" +
               (answered == code::kOk && !text.empty() ? " (read back: " + text + ")" : std::string());
    }
    if (code == code::kRefused)
        return "refused before sending";
    if (code == code::kMalformed)
        return MalformedAnswerText(rx);
    if (rx.RxAck == ctl::NAK)
        return "the instrument answered NAK";
    const std::string received = " (" + NoAnswerText(link) + ")";
    switch (code) {
    case code::kNoFrame: return "no complete answer" + received;
    case code::kNak: return "the instrument answered NAK" + received;
    case code::kNotOk: return "the instrument answered not OK" + received;
    case code::kBusy: return "the instrument is busy" + received;
    case code::kShortFlashBlock: return "a flash block answer was too short" + received;
    default: return "result code " + std::to_string(code) + received;
    }
}
