#pragma once

#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "AppRig.h"
#include "core/Bytes.h"
#include "support/Files.h"

// The Service tab of a started window with the simulated instrument on COMM1 (a VRTA710 with its
// Wi-Fi module unless told otherwise), a folder for register files, and a record of every text
// the log showed together with the state of the controls at that moment.
struct ServiceFlow : ::testing::Test {
    static constexpr const char* kBothFeatures = "31400-WlanOps\r\n314x0-CalStmp\r\n";
    // Get, Set, the tab control and the "COMM" menu enabled; the port open.
    static constexpr const char* kIdle = "controls 1111, port 0";
    static constexpr const char* kRunning = "controls 0000, port 1";

    std::vector<std::string> logs;
    std::vector<std::string> statesAtLog;

    AppRig rig;
    QTemporaryDir files;

    void Start(const std::string& model = "VRTA710", const std::string& config = kBothFeatures)
    {
        SimIdentity identity;
        identity.name = model;
        rig.instrument.SetIdentity(identity);
        rig.host.SetLocalStart({2025, 3, 5, 14, 7, 9});
        rig.StartOn(config, kServiceTab);
        ServiceTab& tab = *rig.form->Service;
        QObject::connect(tab.txtService, &QPlainTextEdit::textChanged, &tab, [this] {
            logs.push_back(Log());
            statesAtLog.push_back(State());
        });
        rig.instrument.ClearRecord();
    }

    void Command(const std::string& command) { rig.Choose("cmbService", command); }
    // The register entry that starts with `prefix` ("0x12", "All registers").
    void Register(const std::string& prefix)
    {
        auto& list = rig.Control<QComboBox>("cmbService2");
        for (int i = 0; i < list.count(); ++i) {
            if (list.itemText(i).startsWith(QString::fromStdString(prefix))) {
                list.setCurrentIndex(i);
                return;
            }
        }
        throw std::runtime_error("no register entry " + prefix);
    }
    void Get()
    {
        Forget();
        rig.Control<QPushButton>("cmdGetService").click();
    }
    void Set()
    {
        Forget();
        rig.Control<QPushButton>("cmdSendService").click();
    }
    void Forget()
    {
        logs.clear();
        statesAtLog.clear();
        rig.instrument.ClearRecord();
        rig.dialogs.messages.clear();
        rig.dialogs.fileRequests.clear();
    }

    std::string Log() const { return rig.form->Service->LogText(); }
    QLineEdit& ValueBox() { return rig.Control<QLineEdit>("txtServiceValue"); }
    std::string Value() { return ValueBox().text().toStdString(); }
    void Type(const std::string& text) { ValueBox().setText(QString::fromStdString(text)); }
    QCheckBox& Function(int n) { return rig.Control<QCheckBox>(("chkFunc" + std::to_string(n)).c_str()); }
    // chkFunc 3..0 as "1001".
    std::string Functions()
    {
        std::string ticks;
        for (int n = 3; n >= 0; --n)
            ticks += Function(n).isChecked() ? '1' : '0';
        return ticks;
    }

    // Payloads the instrument received after the identification, in order.
    std::vector<Bytes> Sent() const
    {
        const auto& all = rig.instrument.Requests();
        std::vector<Bytes> sent;
        for (std::size_t i = 0; i < all.size(); ++i)
            if (!(i == 0 && all[i] == Bytes{'I'}))
                sent.push_back(all[i]);
        return sent;
    }

    std::string State()
    {
        const auto bit = [](bool on) { return on ? '1' : '0'; };
        return std::string("controls ") + bit(rig.Control<QPushButton>("cmdGetService").isEnabled()) +
               bit(rig.Control<QPushButton>("cmdSendService").isEnabled()) + bit(rig.form->SSTab1->isEnabled()) +
               bit(rig.form->mnuSeriale->menuAction()->isEnabled()) + ", port " + bit(rig.port.IsOpen());
    }

    std::string FilePath(const std::string& name) const { return files.filePath(QString::fromStdString(name)).toStdString(); }
    std::string FileText(const std::string& name) const
    {
        const Bytes bytes = ReadFileBytes(FilePath(name));
        return std::string(bytes.begin(), bytes.end());
    }
    void WriteFile(const std::string& name, const std::string& content) const { WriteFileText(FilePath(name), content); }
    std::vector<std::string> Files() const { return FileNamesIn(files.path().toStdString()); }
};

inline Bytes Payload(std::initializer_list<int> bytes)
{
    Bytes out;
    for (const int b : bytes)
        out.push_back(static_cast<std::uint8_t>(b));
    return out;
}

// '0' n and the characters of `text`.
inline Bytes TextWrite(int n, const std::string& text)
{
    const std::string payload = std::string{'0', static_cast<char>(n)} + text;
    return Bytes(payload.begin(), payload.end());
}
