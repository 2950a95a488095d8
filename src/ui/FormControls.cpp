#include "ui/FormControls.h"

#include <QLabel>
#include <QPushButton>

QLabel* NewLabel(QWidget* Parent, const char* Name, int X, int Y, const QString& Text,
                 const std::optional<QFont>& Font) {
    auto* Label = new QLabel(Parent);
    Label->setObjectName(QLatin1String(Name));
    if (Font)
        Label->setFont(*Font);
    Label->setText(Text);
    Label->move(X, Y);
    Label->adjustSize();
    return Label;
}

QPushButton* NewButton(QWidget* Parent, const char* Name, const QString& Text, QRect Geometry) {
    auto* Button = new QPushButton(Text, Parent);
    Button->setObjectName(QLatin1String(Name));
    Button->setGeometry(Geometry);
    return Button;
}
