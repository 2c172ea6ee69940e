#pragma once

#include <string>

#include "core/Bytes.h"
#include "core/ResultCodes.h"
#include "link/Commands.h"
#include "link/Identify.h"
#include "link/OperationContext.h"
#include "service/WifiRegisters.h"

// How a button says that the model carries no Wi-Fi module: each has always had its own spelling.
enum class WifiSpelling { Available, Avalable };

// The frame of every Get and Set of the Service tab: the log emptied, the port opened, the
// instrument identified, the port closed on every way out. The log box is rewritten whole each
// time ("the log shows ..."); what it shows last is the reason of a failure that has no other.
template <typename Result>
class ServiceRun {
public:
    explicit ServiceRun(OperationContext& context) : context_(context), closer_(context.link)
    {
        context_.sink.ClearLog();
    }

    // False, with the serial error shown, when no instrument answers.
    bool Identify()
    {
        const Identified identified = OpenAndIdentify(context_.link);
        if (identified.ok()) {
            result.identified = true;
            result.instrument = identified.info;
            return true;
        }
        if (!identified.portOpened)
            result.interruption = PortInterruption();
        Show(SerialErrorText());
        End(identified.portOpened ? identified.code : code::kNoFrame);
        return false;
    }

    // The Wi-Fi commands first ask for a model that carries the module.
    bool IdentifyWifi(WifiSpelling spelling)
    {
        if (!Identify())
            return false;
        if (IsWifiDevice(result.instrument))
            return true;
        const char* word = spelling == WifiSpelling::Available ? "available" : "avalable";
        Show(std::string("Wifi not ") + word + " for " + result.instrument.Name + " device");
        End(code::kRefused);
        return false;
    }

    // The log shows `text` in place of what it showed.
    void Show(const std::string& text)
    {
        shown_ = text;
        context_.sink.Live(shown_);
    }
    void Append(const std::string& text) { Show(shown_ + text); }

    // Ends with `code`; a failure is said by what the log shows, or else by what came back.
    Result& End(int code)
    {
        return End(code, Trim(shown_).empty() ? AnswerStatement(context_.link, code) : shown_);
    }
    Result& End(int code, const std::string& reason)
    {
        result.code = ResultCodeOf(code);
        if (code != code::kOk && result.reason.empty())
            result.reason = reason;
        return result;
    }
    // Ends before anything more is sent, the log left as it is.
    Result& Quiet(const std::string& reason, Interruption interruption = {})
    {
        result.interruption = std::move(interruption);
        return End(code::kRefused, reason);
    }

    // The program is ending (the window closed, Ctrl-C): nothing more is sent.
    bool Stopping() const { return context_.link.host().Quitting() || context_.sink.StopRequested(); }
    Result& Stopped() { return Quiet("stopped before the end", {Interruption::Kind::Stopped, 0, {}}); }

    Result result;

private:
    Interruption PortInterruption() const
    {
        const PortOpenResult& open = context_.link.LastOpenError();
        const auto kind = open.kind == PortOpenResult::Kind::NotFound ? Interruption::Kind::PortMissing
                                                                      : Interruption::Kind::SystemError;
        return {kind, open.errorNumber, open.description};
    }

    OperationContext& context_;
    ClosePortOnExit closer_;
    std::string shown_;
};
