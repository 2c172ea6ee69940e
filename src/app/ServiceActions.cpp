#include "app/ServiceActions.h"

#include "app/Form1.h"
#include "app/QtText.h"

ServiceActions::ServiceActions(Form1& form) : form_(form)
{
    ServiceTab& tab = *form_.Service;
    QObject::connect(tab.cmdGetService, &QPushButton::clicked, &tab, [this] { cmdGetService_Click(); });
    QObject::connect(tab.cmdSendService, &QPushButton::clicked, &tab, [this] { cmdSendService_Click(); });
}

void ServiceActions::cmdGetService_Click()
{
    Run(ServiceButton::Get);
}

void ServiceActions::cmdSendService_Click()
{
    Run(ServiceButton::Set);
}

void ServiceActions::SetControlsEnabled(bool enabled)
{
    ServiceTab& tab = *form_.Service;
    tab.cmdGetService->setEnabled(enabled);
    tab.cmdSendService->setEnabled(enabled);
    form_.SSTab1->setEnabled(enabled);
    form_.mnuSeriale->menuAction()->setEnabled(enabled);
}

void ServiceActions::Run(ServiceButton button)
{
    AppServices& services = form_.Services();
    ServiceContext context{services.link, services.dialogs, form_.Catalogue(), services.appFolder};
    SetControlsEnabled(false);
    RunServiceButton(context, *this, button);
    services.link.CloseSeriale();
    SetControlsEnabled(true);
}

std::string ServiceActions::Command() const
{
    return FromQ(form_.Service->cmbService->currentText());
}

int ServiceActions::SecondListIndex() const
{
    return form_.Service->cmbService2->currentIndex();
}

std::string ServiceActions::SecondListText() const
{
    return FromQ(form_.Service->cmbService2->currentText());
}

std::string ServiceActions::Log() const
{
    return form_.Service->LogText();
}

void ServiceActions::SetLog(const std::string& text)
{
    form_.Service->SetLogText(text);
}

void ServiceActions::RefreshLog()
{
    form_.Service->txtService->repaint();
}

bool ServiceActions::ValueBoxShown() const
{
    return !form_.Service->txtServiceValue->isHidden();
}

std::string ServiceActions::ValueBoxText() const
{
    return FromQ(form_.Service->txtServiceValue->text());
}

void ServiceActions::SetValueBoxText(const std::string& text)
{
    form_.Service->txtServiceValue->setText(ToQ(text));
}

std::array<bool, 4> ServiceActions::FunctionBoxes() const
{
    std::array<bool, 4> ticked{};
    for (std::size_t i = 0; i < ticked.size(); ++i)
        ticked[i] = form_.Service->chkFunc[i]->isChecked();
    return ticked;
}

void ServiceActions::SetFunctionBoxes(const std::array<bool, 4>& ticked)
{
    for (std::size_t i = 0; i < ticked.size(); ++i)
        form_.Service->chkFunc[i]->setChecked(ticked[i]);
}

QLineEdit* ServiceActions::DateBox(DateField field) const
{
    ServiceTab& tab = *form_.Service;
    switch (field) {
    case DateField::Day: return tab.txtCalibManDateDay;
    case DateField::Month: return tab.txtCalibManDateMonth;
    case DateField::Year: break;
    }
    return tab.txtCalibManDateYear;
}

std::string ServiceActions::DateText(DateField field) const
{
    return FromQ(DateBox(field)->text());
}

void ServiceActions::SetDateText(DateField field, const std::string& text)
{
    DateBox(field)->setText(ToQ(text));
}
