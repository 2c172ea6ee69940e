#pragma once

#include <QCoreApplication>
#include <QTemporaryDir>
#include <functional>
#include <memory>
#include <set>
#include <stdexcept>

#include "app/Form1.h"
#include "link/SerialLink.h"
#include "sim/SimBoards.h"
#include "sim/SimPort.h"
#include "sim/VirtualHost.h"
#include "support/Files.h"
#include "support/MemorySettings.h"
#include "support/ScriptedDialogs.h"

// The main window in virtual time, with the simulated instrument on a port whose existing numbers
// the test chooses, scripted dialogs, in-memory settings and a fresh folder as the program's folder.
class AppRig {
public:
    explicit AppRig(std::set<int> existingPorts = {1})
    {
        port.SetExistingPorts(std::move(existingPorts));
        // Waits deliver the window's events, as they do in the program.
        host.SetOnYield([] { QCoreApplication::processEvents(); });
    }

    // Declared first, so that the clock which calls them goes before them.
    std::vector<std::unique_ptr<std::function<void()>>> polls;
    VirtualHost host;
    SimInstrument instrument;
    SimBoards boards{instrument};
    SimPort port{boards, host};
    ScriptedDialogs dialogs;
    MemorySettings settings;
    QTemporaryDir folder;
    std::vector<std::string> configFolders;  // searched for the configuration file; none: `folder` only
    SerialLink link{port, host, dialogs};
    std::unique_ptr<Form1> form;

    // Builds the window and runs the start-up; true when the program goes on.
    bool Start(bool anotherInstanceRunning = false)
    {
        if (!form)
            form = std::make_unique<Form1>(AppServices{link, host, dialogs, settings, folder.path().toStdString(), configFolders});
        return form->Startup(anotherInstanceRunning);
    }
    // Start-up with this configuration file, then the given tab.
    void StartOn(const std::string& config, int tab = 0)
    {
        WriteConfig(config);
        if (!Start())
            throw std::runtime_error("the start-up ended the program");
        form->SSTab1->setCurrentIndex(tab);
    }

    void SavePort(const std::string& value) { settings.values["Startup/CommPort"] = value; }
    std::string SavedPort() const
    {
        const auto it = settings.values.find("Startup/CommPort");
        return it == settings.values.end() ? "<none>" : it->second;
    }
    void WriteConfig(const std::string& content) { WriteFileText(folder.filePath("Config314x0.cfg").toStdString(), content); }

    template <typename T>
    T& Control(const char* name) const
    {
        if (T* control = form->findChild<T*>(QString::fromLatin1(name)))
            return *control;
        throw std::runtime_error(std::string("no control named ") + name);
    }

    // Runs `action` once, at the first millisecond of virtual time at which `condition` holds.
    void When(std::function<bool()> condition, std::function<void()> action)
    {
        std::function<void()>* poll = polls.emplace_back(std::make_unique<std::function<void()>>()).get();
        *poll = [this, poll, condition = std::move(condition), action = std::move(action)] {
            if (condition())
                action();
            else
                host.CallAfter(0.001, [poll] { (*poll)(); });
        };
        host.CallAfter(0.001, [poll] { (*poll)(); });
    }

    bool TabShown(int index) const { return form->SSTab1->isTabVisible(index); }
    std::string Panel(int n) const { return Control<QLabel>(("StatusBar1Panel" + std::to_string(n)).c_str()).text().toStdString(); }
    std::string Text(const char* lineEdit) const { return Control<QLineEdit>(lineEdit).text().toStdString(); }
    std::vector<std::string> Items(const char* list) const
    {
        std::vector<std::string> items;
        for (int i = 0; i < Control<QComboBox>(list).count(); ++i)
            items.push_back(Control<QComboBox>(list).itemText(i).toStdString());
        return items;
    }
    void Choose(const char* list, const std::string& entry) const
    {
        auto& box = Control<QComboBox>(list);
        const int index = box.findText(QString::fromStdString(entry));
        if (index < 0)
            throw std::runtime_error("no entry " + entry + " in " + list);
        box.setCurrentIndex(index);
    }
};

// "Shown" as the program means it: not hidden itself, whatever tab or window is on screen.
inline bool Shown(const QWidget& widget)
{
    return !widget.isHidden();
}
