#include "app/ParamActions.h"

#include "app/Form1.h"
#include "app/QtText.h"

ParamActions::ParamActions(Form1& form) : form_(form)
{
    ParamTab& tab = *form_.Param;
    QObject::connect(tab.cmdParamReadSingle, &QPushButton::clicked, &tab, [this] { OnReadClicked(); });
    QObject::connect(tab.cmdParamWriteSingle, &QPushButton::clicked, &tab, [this] { OnWriteClicked(); });
    QObject::connect(tab.cmdParamInfo, &QPushButton::clicked, &tab, [this] { OnInfoClicked(); });
}

void ParamActions::SetControlsEnabled(bool enabled, bool commMenuToo)
{
    ParamTab& tab = *form_.Param;
    form_.SSTab1->setEnabled(enabled);
    tab.cmdParamReadSingle->setEnabled(enabled);
    tab.cmdParamWriteSingle->setEnabled(enabled);
    tab.cmdParamInfo->setEnabled(enabled);
    if (commMenuToo)
        form_.mnuSeriale->menuAction()->setEnabled(enabled);
}

template <typename Operation>
void ParamActions::RunWithControlsDisabled(bool commMenuToo, Operation operation)
{
    SetControlsEnabled(false, commMenuToo);
    operation();
    form_.Services().link.CloseSeriale();
    SetControlsEnabled(true, commMenuToo);
}

void ParamActions::OnReadClicked()
{
    AppServices& s = form_.Services();
    RunWithControlsDisabled(false, [&] { RunParamRead(s.link, form_.Catalogue(), *this); });
}

void ParamActions::OnWriteClicked()
{
    AppServices& s = form_.Services();
    RunWithControlsDisabled(false, [&] { RunParamWrite(s.link, form_.Catalogue(), *this); });
}

void ParamActions::OnInfoClicked()
{
    RunWithControlsDisabled(true, [&] { RunParamInfo(form_.Services().link, *this); });
}

std::string ParamActions::IndexText() const
{
    return FromQ(form_.Param->txtParTipo->text());
}

void ParamActions::SetIndexText(const std::string& text)
{
    form_.Param->txtParTipo->setText(ToQ(text));
}

std::string ParamActions::ValueText() const
{
    return FromQ(form_.Param->txtParValue->text());
}

void ParamActions::SetValueText(const std::string& text)
{
    form_.Param->txtParValue->setText(ToQ(text));
}

void ParamActions::SetIndexPosition(int index)
{
    form_.Param->HScroll1->setValue(index);
}

void ParamActions::SetOutcome(const std::string& text)
{
    form_.Param->SetStatusText(text);
}

void ParamActions::ShowBaud()
{
    form_.ShowBaudInStatus();
}

int ParamActions::LastIndex() const
{
    return form_.Param->FamilyLastIndex();
}
