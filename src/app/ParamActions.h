#pragma once

#include "params/ParamOperations.h"

class Form1;

// The Read, Write and Info buttons of the Param tab.
class ParamActions : public ParamView {
public:
    explicit ParamActions(Form1& form);

    void OnReadClicked();
    void OnWriteClicked();
    void OnInfoClicked();

    std::string IndexText() const override;
    void SetIndexText(const std::string& text) override;
    std::string ValueText() const override;
    void SetValueText(const std::string& text) override;
    void SetIndexPosition(int index) override;
    void SetOutcome(const std::string& text) override;
    void ShowBaud() override;
    int LastIndex() const override;

private:
    // Controls off, the operation, port closed, controls on again.
    template <typename Operation>
    void RunWithControlsDisabled(bool commMenuToo, Operation operation);
    void SetControlsEnabled(bool enabled, bool commMenuToo);

    Form1& form_;
};
