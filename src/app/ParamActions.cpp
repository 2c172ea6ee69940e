#include "app/ParamActions.h"

#include "app/Form1.h"
#include "app/QtText.h"
#include "app/WindowSink.h"

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

ParamRequest ParamActions::Request() const
{
    const ParamTab& tab = *form_.Param;
    return {form_.Catalogue(), tab.FamilyLastIndex(), FromQ(tab.txtParTipo->text()), FromQ(tab.txtParValue->text())};
}

template <typename Operation>
void ParamActions::Run(bool commMenuToo, Operation operation)
{
    AppServices& s = form_.Services();
    WindowSink sink(s.dialogs, s.host, {[this](const std::string& text) { form_.Param->SetStatusText(text); }});
    OperationContext context{s.link, sink, s.appFolder};
    SetControlsEnabled(false, commMenuToo);
    operation(context);
    sink.Flush();
    SetControlsEnabled(true, commMenuToo);
}

void ParamActions::Show(const ParamResult& result, bool indexTextToo)
{
    ParamTab& tab = *form_.Param;
    if (result.identified)
        form_.ShowBaudInStatus();
    if (result.index) {
        if (indexTextToo)
            tab.txtParTipo->setText(QString::number(*result.index));
        tab.HScroll1->setValue(*result.index);
    }
    if (result.value)
        tab.txtParValue->setText(ToQ(*result.value));
}

void ParamActions::OnReadClicked()
{
    ParamTab& tab = *form_.Param;
    tab.txtParValue->clear();
    const ParamRequest request = Request();
    Run(false, [&](OperationContext& context) { Show(ReadParameter(context, request), true); });
}

void ParamActions::OnWriteClicked()
{
    const ParamRequest request = Request();
    Run(false, [&](OperationContext& context) { Show(WriteParameter(context, request), false); });
}

void ParamActions::OnInfoClicked()
{
    Run(true, [&](OperationContext& context) { Show(ReadIdentity(context), false); });
}
