#pragma once

#include <deque>
#include <set>
#include <vector>

#include "core/SerialPort.h"

// A port whose incoming bytes the test injects; it remembers what was written and how it was opened.
class ScriptedPort : public SerialPort {
public:
    void SetPortNumber(int number) override { number_ = number; }
    int PortNumber() const override { return number_; }
    void SetLineSettings(const std::string& settings) override { settings_ = settings; }
    std::string LineSettings() const override { return settings_; }

    PortOpenResult Open() override
    {
        PortOpenResult result;
        if (!existing.count(number_)) {
            result.kind = PortOpenResult::Kind::NotFound;
            result.errorNumber = 1;
            result.description = "Device not found";
        } else if (busy.count(number_)) {
            result.kind = PortOpenResult::Kind::Failed;
            result.errorNumber = 2;
            result.description = "Permission denied";
        } else {
            open_ = true;
            opens.push_back(settings_);
        }
        return result;
    }
    void Close() override
    {
        if (open_)
            ++closes;
        open_ = false;
        incoming.clear();
    }
    bool IsOpen() const override { return open_; }
    std::size_t BytesWaiting() const override { return incoming.size(); }
    bool ReadByte(std::uint8_t& byte) override
    {
        if (incoming.empty())
            return false;
        byte = incoming.front();
        incoming.pop_front();
        return true;
    }
    bool Write(const Bytes& bytes) override
    {
        written.push_back(bytes);
        if (onWrite)
            onWrite(bytes);
        return true;
    }
    void SetReceiveHandler(std::function<void()> handler) override { handler_ = std::move(handler); }

    // Bytes arrive and the receive event is raised.
    void Arrive(const Bytes& bytes)
    {
        incoming.insert(incoming.end(), bytes.begin(), bytes.end());
        if (handler_)
            handler_();
    }

    std::set<int> existing{1};
    std::set<int> busy;
    std::deque<std::uint8_t> incoming;
    std::vector<Bytes> written;
    std::vector<std::string> opens;  // line settings of every open
    int closes = 0;
    std::function<void(const Bytes&)> onWrite;

private:
    int number_ = 0;
    std::string settings_;
    bool open_ = false;
    std::function<void()> handler_;
};
