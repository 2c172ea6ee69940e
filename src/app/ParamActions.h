#pragma once

#include "params/ParamOperations.h"

class Form1;

// The Read, Write and Info buttons of the Param tab: the tab's texts into the request, the
// operation, its result into the tab.
class ParamActions {
public:
    explicit ParamActions(Form1& form);

    void OnReadClicked();
    void OnWriteClicked();
    void OnInfoClicked();

private:
    ParamRequest Request() const;
    // Controls off, the operation, the result shown, controls on again.
    template <typename Operation>
    void Run(bool commMenuToo, Operation operation);
    void Show(const ParamResult& result, bool indexTextToo);
    void SetControlsEnabled(bool enabled, bool commMenuToo);

    Form1& form_;
};
