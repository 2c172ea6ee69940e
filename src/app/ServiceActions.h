#pragma once

#include "service/CalibrationDate.h"
#include "service/ServiceOperations.h"

class Form1;
class QLineEdit;

// Get and Set of the Service tab: the command and entry chosen pick the operation, the tab's
// boxes make its request, its result goes back into them. The controls are off while the
// operation runs and on again on every way out.
class ServiceActions {
public:
    explicit ServiceActions(Form1& form);

    void OnGetClicked();
    void OnSetClicked();

private:
    // Controls off, the operation, controls on again.
    template <typename Operation>
    void Run(Operation operation);
    void SetControlsEnabled(bool enabled);

    CalibrationDateRequest DateRequest() const;
    RegisterWriteRequest WriteRequest(int number) const;
    FunctionBoxes Functions() const;

    void ShowDate(const CalibrationDateResult& result);
    void ShowRead(const RegisterReadResult& result);
    void ShowWritten(const RegisterWriteResult& result);
    void ShowFunctions(const std::optional<FunctionBoxes>& ticked);
    QLineEdit* DateBox(std::string DateTexts::*text) const;

    Form1& form_;
};
