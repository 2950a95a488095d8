#include "ui/RadioGroup.h"

#include <QGridLayout>
#include <QRadioButton>

TRadioGroup::TRadioGroup(const QString& Title, const QStringList& Items, int Columns,
                         QWidget* Parent)
    : QGroupBox(Title, Parent) {
    auto* Grid = new QGridLayout(this);
    Grid->setContentsMargins(8, 4, 8, 4);
    Grid->setVerticalSpacing(2);
    const int PerColumn = (static_cast<int>(Items.size()) + Columns - 1) / Columns;
    for (int I = 0; I < Items.size(); ++I) {
        auto* Button = new QRadioButton(Items[I], this);
        FButtons.addButton(Button, I);
        Grid->addWidget(Button, I % PerColumn, I / PerColumn);
    }
    connect(&FButtons, &QButtonGroup::idClicked, this, &TRadioGroup::Clicked);
}

void TRadioGroup::SetItemIndex(int Index) {
    if (QAbstractButton* Button = FButtons.button(Index))
        Button->setChecked(true);
}
