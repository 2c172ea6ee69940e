#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "AppRig.h"
#include "core/Bytes.h"

// The Service tab of a started window with the simulated instrument on COMM1 (a VRTA710 with its
// Wi-Fi module), and the state of the controls each time the log changed. What the operations send
// and say: ServiceOperation.
struct ServiceFlow : ::testing::Test {
    // Get, Set, the tab control and the "COMM" menu enabled, the port closed.
    static constexpr const char* kIdle = "controls 1111, port 0";

    std::vector<std::string> statesAtLog;
    AppRig rig;

    void SetUp() override
    {
        rig.instrument.SetIdentity(SimIdentity{"VRTA710"});
        rig.StartOn("31400-WlanOps\r\n314x0-CalStmp\r\n", kServiceTab);
        ServiceTab& tab = *rig.form->Service;
        QObject::connect(tab.txtService, &QPlainTextEdit::textChanged, &tab, [this] { statesAtLog.push_back(State()); });
    }

    void Command(const std::string& command) { rig.Choose("cmbService", command); }
    // The register entry that starts with `prefix` ("0x12", "All registers").
    void Register(const std::string& prefix)
    {
        auto& list = rig.Control<QComboBox>("cmbService2");
        for (int i = 0; i < list.count(); ++i)
            if (list.itemText(i).startsWith(QString::fromStdString(prefix)))
                return list.setCurrentIndex(i);
        throw std::runtime_error("no register entry " + prefix);
    }
    void Get() { Click("cmdGetService"); }
    void Set() { Click("cmdSendService"); }
    void Click(const char* button)
    {
        rig.host.RunUntil(rig.host.Now() + 2.0);  // a late answer of the last run is over
        statesAtLog.clear();
        rig.instrument.ClearRecord();
        rig.dialogs.messages.clear();
        rig.dialogs.fileRequests.clear();
        rig.Control<QPushButton>(button).click();
    }

    std::string Log() const { return rig.form->Service->LogText(); }
    std::string Value() const { return rig.Text("txtServiceValue"); }
    void Type(const std::string& text) { rig.Control<QLineEdit>("txtServiceValue").setText(QString::fromStdString(text)); }
    QCheckBox& Function(int n) { return rig.Control<QCheckBox>(("chkFunc" + std::to_string(n)).c_str()); }
    // chkFunc 3..0 as "1001"; Tick("1001") ticks them so.
    std::string Functions()
    {
        std::string ticks;
        for (int n = 3; n >= 0; --n)
            ticks += Function(n).isChecked() ? '1' : '0';
        return ticks;
    }
    void Tick(const std::string& ticks)
    {
        for (int n = 3; n >= 0; --n)
            Function(n).setChecked(ticks[static_cast<std::size_t>(3 - n)] == '1');
    }

    // Payloads the instrument received after the identification, in order.
    std::vector<Bytes> Sent() const
    {
        std::vector<Bytes> sent = rig.instrument.Requests();
        if (!sent.empty() && sent.front() == Bytes{'I'})
            sent.erase(sent.begin());
        return sent;
    }

    std::string State()
    {
        const auto bit = [](bool on) { return on ? '1' : '0'; };
        return std::string("controls ") + bit(rig.Control<QPushButton>("cmdGetService").isEnabled()) +
               bit(rig.Control<QPushButton>("cmdSendService").isEnabled()) + bit(rig.form->SSTab1->isEnabled()) +
               bit(rig.form->mnuSeriale->menuAction()->isEnabled()) + ", port " + bit(rig.port.IsOpen());
    }
};
