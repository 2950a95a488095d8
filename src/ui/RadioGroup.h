#pragma once

#include <QButtonGroup>
#include <QGroupBox>
#include <QStringList>

// A titled group of option buttons of which exactly one is chosen, laid out in columns that are
// filled top to bottom. The chosen option is an index into the captions.
class TRadioGroup : public QGroupBox {
    Q_OBJECT
public:
    TRadioGroup(const QString& Title, const QStringList& Items, int Columns, QWidget* Parent);

    int ItemIndex() const { return FButtons.checkedId(); }
    void SetItemIndex(int Index);

signals:
    // The operator chose an option, by mouse or keyboard.
    void Clicked();

private:
    QButtonGroup FButtons;
};
