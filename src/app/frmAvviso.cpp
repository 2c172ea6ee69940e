#include "app/frmAvviso.h"

#include <QVBoxLayout>

#include "app/QtText.h"

frmAvviso::frmAvviso(QWidget* parent) : QWidget(parent, Qt::Window)
{
    setObjectName("frmAvviso");
    setWindowTitle("Available COM");
    setMinimumWidth(260);
    lblMessage->setTextFormat(Qt::PlainText);
    lblMessage->setAlignment(Qt::AlignCenter);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(lblMessage);
}

void frmAvviso::SetMessage(const std::string& text)
{
    message_ = text;
    lblMessage->setText(ToQ(text).remove(QLatin1Char('\r')));
    repaint();
}
