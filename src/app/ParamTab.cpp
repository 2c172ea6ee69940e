#include "app/ParamTab.h"

#include <QGridLayout>
#include <algorithm>

#include "app/QtText.h"
#include "core/Bytes.h"
#include "params/ParamOperations.h"

ParamTab::ParamTab(ParamCatalogue& catalogue, QWidget* parent) : QWidget(parent), catalogue_(catalogue)
{
    HScroll1->setRange(0, ParamCatalogue::kLastIndex);
    LayOut();
    connect(cmbParamTipoStrum, &QComboBox::currentIndexChanged, this, [this] { OnFamilySelected(); });
    connect(txtParTipo, &QLineEdit::textChanged, this, [this] { OnIndexTextChanged(); });
    connect(HScroll1, &QScrollBar::valueChanged, this, [this](int position) { OnScrollChanged(position); });
}

// Family on top; index, scroll bar and the index's description on one line; then the value
// with the three buttons, and the outcome below.
void ParamTab::LayOut()
{
    auto* grid = new QGridLayout(this);
    auto* indexLabel = new QLabel("Index", this);
    auto* valueLabel = new QLabel("Value", this);
    txtParTipo->setMaximumWidth(70);
    HScroll1->setMinimumWidth(160);
    HScroll1->setMaximumWidth(220);
    txtParValue->setMaximumWidth(160);
    lblTipoParm->setWordWrap(true);
    lblTipoParm->setMinimumWidth(300);
    lblTipoParm->setFrameShape(QFrame::StyledPanel);
    lblTipoParm->setTextInteractionFlags(Qt::TextSelectableByMouse);
    grid->addWidget(cmbParamTipoStrum, 0, 0, 1, 3);
    grid->addWidget(indexLabel, 1, 0);
    grid->addWidget(txtParTipo, 1, 1);
    grid->addWidget(HScroll1, 1, 2);
    grid->addWidget(lblTipoParm, 1, 3, 1, 3);
    grid->addWidget(valueLabel, 2, 0);
    grid->addWidget(txtParValue, 2, 1, 1, 2);
    grid->addWidget(cmdParamReadSingle, 2, 3);
    grid->addWidget(cmdParamWriteSingle, 2, 4);
    grid->addWidget(cmdParamInfo, 2, 5);
    grid->addWidget(txtParamStatus, 3, 0, 1, 6);
    grid->setColumnStretch(3, 1);
    grid->setRowStretch(3, 1);
}

void ParamTab::FillFamilies(const std::vector<ParamFamily>& families)
{
    for (const ParamFamily& family : families)
        cmbParamTipoStrum->addItem(ToQ(family.entry));
    cmbParamTipoStrum->setCurrentIndex(0);
}

void ParamTab::OnFamilySelected()
{
    // The catalogue is loaded before the maximum changes: a position moved down by the new maximum
    // updates the text and the description from the new family.
    if (const auto lastIndex = catalogue_.LoadFamily(FromQ(cmbParamTipoStrum->currentText())))
        HScroll1->setMaximum(*lastIndex);
    OnIndexTextChanged();
}

int ParamTab::FamilyLastIndex() const
{
    const std::string entry = FromQ(cmbParamTipoStrum->currentText());
    const auto& families = ParamFamilies();
    const auto family = std::find_if(families.begin(), families.end(),
                                     [&](const ParamFamily& f) { return f.entry == entry; });
    return family != families.end() ? family->lastIndex : HScroll1->maximum();
}

// A text that names no index of the family stays as typed (Write refuses it); the description
// says so, and the scroll bar keeps its place.
void ParamTab::OnIndexTextChanged()
{
    const std::string text = FromQ(txtParTipo->text());
    const auto index = ParamIndexOfText(text);
    if (!index || *index < 0 || *index > FamilyLastIndex()) {
        lblTipoParm->setText(Trim(text).empty() ? QString() : ToQ(ParamIndexOutOfRangeText(FamilyLastIndex())));
        return;
    }
    HScroll1->setValue(static_cast<int>(*index));
    ShowDescription(*index);
}

void ParamTab::OnScrollChanged(int position)
{
    txtParTipo->setText(QString::number(position));
}

void ParamTab::ShowDescription(long long index)
{
    const bool inTable = index >= 0 && index <= ParamCatalogue::kLastIndex;
    lblTipoParm->setText(inTable ? ToQ(catalogue_.Description(static_cast<int>(index))) : QString());
}
