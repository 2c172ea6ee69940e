#pragma once

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QWidget>
#include <string>
#include <vector>

#include "app/NamedWidget.h"
#include "app/StatusBox.h"
#include "link/InstrumentModels.h"
#include "params/ParamCatalogue.h"

// The "Param" tab: family, parameter index with its description, value, buttons and outcome.
// The index text, the scroll bar and the description follow each other; the catalogue is loaded
// for the selected family.
class ParamTab : public QWidget {
    Q_OBJECT
public:
    explicit ParamTab(ParamCatalogue& catalogue, QWidget* parent = nullptr);

    QComboBox* const cmbParamTipoStrum = Named(new QComboBox(this), "cmbParamTipoStrum");
    QLineEdit* const txtParTipo = Named(new QLineEdit("0", this), "txtParTipo");
    QScrollBar* const HScroll1 = Named(new QScrollBar(Qt::Horizontal, this), "HScroll1");
    QLabel* const lblTipoParm = Named(new QLabel(this), "lblTipoParm");
    QLineEdit* const txtParValue = Named(new QLineEdit(this), "txtParValue");
    QPushButton* const cmdParamReadSingle = Named(new QPushButton("Read", this), "cmdParamReadSingle");
    QPushButton* const cmdParamWriteSingle = Named(new QPushButton("Write", this), "cmdParamWriteSingle");
    QPushButton* const cmdParamInfo = Named(new QPushButton("Info", this), "cmdParamInfo");
    StatusBox* const txtParamStatus = Named(new StatusBox(StatusBox::Caret::Keep, this), "txtParamStatus");

    // Adds the families in list order and selects the first (which runs the family selection).
    void FillFamilies(const std::vector<ParamFamily>& families);
    // Family selection: loads the catalogue, sets the scroll bar's maximum (an index above it
    // moves down to it) and refreshes the description.
    void OnFamilySelected();
    // Index text change: an index of the family moves the scroll bar and shows its description; any
    // other text stays as typed and the description tells it is out of range.
    void OnIndexTextChanged();
    // Scroll bar change or scroll: the index text takes the position.
    void OnScrollChanged(int position);

    // Last valid index of the selected family.
    int FamilyLastIndex() const;

    void SetStatusText(const std::string& text) { txtParamStatus->SetText(text); }
    const std::string& StatusText() const { return txtParamStatus->Text(); }

private:
    void LayOut();
    void ShowDescription(long long index);

    ParamCatalogue& catalogue_;
};
