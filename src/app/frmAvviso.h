#pragma once

#include <QLabel>
#include <QWidget>
#include <string>

#include "app/NamedWidget.h"

// Small modeless notice window (the port search at start-up shows its progress here).
class frmAvviso : public QWidget {
    Q_OBJECT
public:
    explicit frmAvviso(QWidget* parent = nullptr);

    // Shows the text (CR LF between lines) and repaints at once, so it is seen during a busy loop.
    void SetMessage(const std::string& text);
    const std::string& Message() const { return message_; }

private:
    QLabel* const lblMessage = Named(new QLabel(this), "lblMessage");
    std::string message_;
};
