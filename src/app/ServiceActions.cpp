#include "app/ServiceActions.h"

#include "app/Form1.h"
#include "app/QtText.h"
#include "app/WindowSink.h"
#include "service/ServicePanel.h"

ServiceActions::ServiceActions(Form1& form) : form_(form)
{
    ServiceTab& tab = *form_.Service;
    QObject::connect(tab.cmdGetService, &QPushButton::clicked, &tab, [this] { OnGetClicked(); });
    QObject::connect(tab.cmdSendService, &QPushButton::clicked, &tab, [this] { OnSetClicked(); });
}

void ServiceActions::OnGetClicked()
{
    const ServiceTab& tab = *form_.Service;
    const std::string command = FromQ(tab.cmbService->currentText());
    const int entry = tab.cmbService2->currentIndex();
    if (command == kWifiRegisterCommand && entry == 0) {
        Run([&](OperationContext& context) { ShowFunctions(ReadAllRegisters(context).functions); });
    } else if (command == kWifiRegisterCommand) {
        if (const WifiRegister* reg = RegisterOfEntry(entry))
            Run([&](OperationContext& context) { ShowRead(ReadRegister(context, {reg->number})); });
    } else if (command == kCalibrationDateCommand) {
        const CalibrationDateRequest request = DateRequest();
        Run([&](OperationContext& context) { ShowDate(GetCalibrationDate(context, request)); });
    }
}

void ServiceActions::OnSetClicked()
{
    const ServiceTab& tab = *form_.Service;
    const std::string command = FromQ(tab.cmbService->currentText());
    const int entry = tab.cmbService2->currentIndex();
    if (command == kWifiRegisterCommand && entry == 0) {
        Run([&](OperationContext& context) { WriteAllRegisters(context); });
    } else if (command == kWifiRegisterCommand) {
        if (const WifiRegister* reg = RegisterOfEntry(entry)) {
            const RegisterWriteRequest request = WriteRequest(reg->number);
            Run([&](OperationContext& context) { ShowWritten(WriteRegister(context, request)); });
        }
    } else if (command == kWifiSettingCommand) {
        if (entry == 0 || entry == kModuleOn)
            Run([&](OperationContext& context) { SwitchWifiModule(context, {entry == kModuleOn}); });
    } else if (command == kCalibrationDateCommand) {
        const CalibrationDateRequest request = DateRequest();
        Run([&](OperationContext& context) { ShowDate(SetCalibrationDate(context, request)); });
    }
}

template <typename Operation>
void ServiceActions::Run(Operation operation)
{
    AppServices& services = form_.Services();
    StatusBox& log = *form_.Service->txtService;
    WindowSink sink(services.dialogs, services.host, {[&log](const std::string& text) {
                        log.SetText(text);
                        log.repaint();
                    }});
    OperationContext context{services.link, sink, services.appFolder};
    SetControlsEnabled(false);
    operation(context);
    sink.Flush();
    SetControlsEnabled(true);
}

void ServiceActions::SetControlsEnabled(bool enabled)
{
    ServiceTab& tab = *form_.Service;
    tab.cmdGetService->setEnabled(enabled);
    tab.cmdSendService->setEnabled(enabled);
    form_.SSTab1->setEnabled(enabled);
    form_.mnuSeriale->menuAction()->setEnabled(enabled);
}

CalibrationDateRequest ServiceActions::DateRequest() const
{
    DateTexts date;
    for (std::string DateTexts::*text : {&DateTexts::day, &DateTexts::month, &DateTexts::year})
        date.*text = FromQ(DateBox(text)->text());
    return {form_.Catalogue(), date};
}

RegisterWriteRequest ServiceActions::WriteRequest(int number) const
{
    return {number, FromQ(form_.Service->txtServiceValue->text()), Functions()};
}

FunctionBoxes ServiceActions::Functions() const
{
    FunctionBoxes ticked{};
    for (std::size_t i = 0; i < ticked.size(); ++i)
        ticked[i] = form_.Service->chkFunc[i]->isChecked();
    return ticked;
}

void ServiceActions::ShowDate(const CalibrationDateResult& result)
{
    if (!result.date)
        return;
    for (std::string DateTexts::*text : {&DateTexts::day, &DateTexts::month, &DateTexts::year})
        DateBox(text)->setText(ToQ((*result.date).*text));
}

void ServiceActions::ShowRead(const RegisterReadResult& result)
{
    ShowFunctions(result.functions);
    QLineEdit& valueBox = *form_.Service->txtServiceValue;
    if (result.value && !valueBox.isHidden())
        valueBox.setText(ToQ(*result.value));
}

void ServiceActions::ShowWritten(const RegisterWriteResult& result)
{
    if (result.value)
        form_.Service->txtServiceValue->setText(ToQ(*result.value));
}

void ServiceActions::ShowFunctions(const std::optional<FunctionBoxes>& ticked)
{
    if (!ticked)
        return;
    for (std::size_t i = 0; i < ticked->size(); ++i)
        form_.Service->chkFunc[i]->setChecked((*ticked)[i]);
}

QLineEdit* ServiceActions::DateBox(std::string DateTexts::*text) const
{
    ServiceTab& tab = *form_.Service;
    if (text == &DateTexts::day)
        return tab.txtCalibManDateDay;
    if (text == &DateTexts::month)
        return tab.txtCalibManDateMonth;
    return tab.txtCalibManDateYear;
}
