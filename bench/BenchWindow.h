#pragma once

// The benchmarks' window mode: the main window as the technician runs it (the real Form1 and its
// tabs, shown, on the offscreen platform unless QT_QPA_PLATFORM names another), its buttons
// clicked, on the link the benchmark built; scripted dialogs, settings in memory and a temporary
// program folder holding the feature configuration given.
#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QFile>
#include <QLineEdit>
#include <QTemporaryDir>
#include <cstdio>
#include <memory>
#include <stdexcept>
#include <string>

#include "app/Form1.h"
#include "support/MemorySettings.h"
#include "support/ScriptedDialogs.h"

// A QApplication for the window mode (offscreen unless a platform is chosen), else a
// QCoreApplication. `argc` must outlive it.
inline std::unique_ptr<QCoreApplication> MakeBenchApplication(int& argc, char** argv, bool window)
{
    if (!window)
        return std::make_unique<QCoreApplication>(argc, argv);
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    // The offscreen platform's remarks about what it cannot do say nothing about the run.
    qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString& message) {
        if (!message.contains(QLatin1String("propagateSizeHints")) && !message.contains(QLatin1String("XDG_RUNTIME_DIR")))
            std::fprintf(stderr, "%s\n", qPrintable(message));
    });
    return std::make_unique<QApplication>(argc, argv);
}

class BenchWindow {
public:
    BenchWindow(SerialLink& link, Host& host, ScriptedDialogs& dialogs, const std::string& config = "")
        : dialogs_(dialogs)
    {
        QFile file(folder_.filePath("Config314x0.cfg"));
        if (file.open(QIODevice::WriteOnly))
            file.write(config.data(), static_cast<qint64>(config.size()));
        form_ = std::make_unique<Form1>(AppServices{link, host, dialogs, settings_, folder_.path().toStdString()});
    }

    // The start-up as the program runs it, then the window on screen at its usual size.
    bool Start()
    {
        if (!form_->Startup(false))
            return false;
        form_->resize(780, 560);
        form_->show();
        QCoreApplication::processEvents();
        return true;
    }

    Form1& form() { return *form_; }
    std::string folder() const { return folder_.path().toStdString(); }

    template <typename T>
    T& Control(const char* name) const
    {
        T* control = form_->findChild<T*>(QString::fromLatin1(name));
        if (!control)
            throw std::runtime_error(std::string("no control named ") + name);
        return *control;
    }
    // Clicks a button; an operation runs to its end inside the click.
    void Click(const char* button) { Control<QAbstractButton>(button).click(); }
    void Tick(const char* box, bool ticked) { Control<QAbstractButton>(box).setChecked(ticked); }
    void SetText(const char* field, const std::string& text) { Control<QLineEdit>(field).setText(QString::fromStdString(text)); }
    void Choose(const char* list, const std::string& entry)
    {
        auto& box = Control<QComboBox>(list);
        box.setCurrentIndex(box.findText(QString::fromStdString(entry)));
    }
    // The next file dialog answers with `path`.
    void AnswerFileDialog(const std::string& path) { dialogs_.filePaths.push_back(path); }
    // The Down mem tab with the EEPROM and pages first..last ticked, the next file dialog answered
    // with `path`.
    void PrepareDownMem(int first, int last, const std::string& path)
    {
        form_->SSTab1->setCurrentIndex(kDownMemTab);
        Tick("chkEE2Down", true);
        Tick("chkFlashDown", true);
        SetText("txtDownDaPag", std::to_string(first));
        SetText("txtDownaPag", std::to_string(last));
        AnswerFileDialog(path);
    }

private:
    ScriptedDialogs& dialogs_;
    MemorySettings settings_;
    QTemporaryDir folder_;
    std::unique_ptr<Form1> form_;
};
