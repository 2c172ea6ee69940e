#pragma once

#include "service/ServiceOperations.h"
#include "service/ServiceView.h"

class Form1;

// Get and Set of the Service tab: the controls are off while the operation runs and on again on
// every way out.
class ServiceActions : public ServiceView {
public:
    explicit ServiceActions(Form1& form);

    void cmdGetService_Click();
    void cmdSendService_Click();

    std::string Command() const override;
    int SecondListIndex() const override;
    std::string SecondListText() const override;
    std::string Log() const override;
    void SetLog(const std::string& text) override;
    void RefreshLog() override;
    bool ValueBoxShown() const override;
    std::string ValueBoxText() const override;
    void SetValueBoxText(const std::string& text) override;
    std::array<bool, 4> FunctionBoxes() const override;
    void SetFunctionBoxes(const std::array<bool, 4>& ticked) override;
    std::string DateText(DateField field) const override;
    void SetDateText(DateField field, const std::string& text) override;

private:
    void Run(ServiceButton button);
    void SetControlsEnabled(bool enabled);
    class QLineEdit* DateBox(DateField field) const;

    Form1& form_;
};
