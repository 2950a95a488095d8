#include "ui/DarkStyle.h"

#include <QApplication>
#include <QFile>
#include <QPalette>
#include <QProxyStyle>
#include <QStringDecoder>
#include <QStyleFactory>
#include <QWidget>

namespace {

QPalette DarkPalette() {
    const QColor Window(45, 45, 48);
    const QColor Base(30, 30, 30);
    const QColor Text(230, 230, 230);
    const QColor Disabled(120, 120, 120);
    const QColor Accent(0, 120, 215);
    QPalette P;
    P.setColor(QPalette::Window, Window);
    P.setColor(QPalette::WindowText, Text);
    P.setColor(QPalette::Base, Base);
    P.setColor(QPalette::AlternateBase, Window);
    P.setColor(QPalette::ToolTipBase, Window);
    P.setColor(QPalette::ToolTipText, Text);
    P.setColor(QPalette::PlaceholderText, Disabled);
    P.setColor(QPalette::Text, Text);
    P.setColor(QPalette::Button, QColor(55, 55, 58));
    P.setColor(QPalette::ButtonText, Text);
    P.setColor(QPalette::BrightText, Qt::white);
    P.setColor(QPalette::Highlight, Accent);
    P.setColor(QPalette::HighlightedText, Qt::white);
    P.setColor(QPalette::Link, QColor(80, 160, 240));
    P.setColor(QPalette::Light, QColor(75, 75, 78));
    P.setColor(QPalette::Midlight, QColor(65, 65, 68));
    P.setColor(QPalette::Mid, QColor(40, 40, 42));
    P.setColor(QPalette::Dark, QColor(25, 25, 26));
    P.setColor(QPalette::Shadow, Qt::black);
    for (const auto Role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
        P.setColor(QPalette::Disabled, Role, Disabled);
    P.setColor(QPalette::Disabled, QPalette::Base, Window);
    return P;
}

QString ParseWarning;

void CatchParseWarning(QtMsgType Type, const QMessageLogContext&, const QString& Message) {
    if (Type == QtWarningMsg && ParseWarning.isEmpty())
        ParseWarning = Message;
}

} // namespace

void ApplyBuiltInStyle(QApplication& App) {
    QStyle* Fusion = QStyleFactory::create(QStringLiteral("Fusion"));
    if (!Fusion)
        return;
    auto* Style = new QProxyStyle(Fusion);
    Style->setObjectName(QStringLiteral("Windows10 Dark"));
    App.setStyle(Style);
    App.setPalette(DarkPalette());
}

void ApplyStyleFile(QApplication& App, const QString& Path) {
    QFile File(Path);
    if (!File.exists() || !File.open(QIODevice::ReadOnly))
        return;
    const QByteArray Bytes = File.readAll();
    auto Decoder = QStringDecoder(QStringDecoder::Utf8);
    const QString Sheet = Decoder(Bytes);
    if (Decoder.hasError())
        return;
    // Qt parses the application's style sheet only when it polishes a widget, and reports a
    // sheet it cannot parse just as a warning then: so try the sheet on the whole program
    // with one widget to polish, and put the earlier sheet back when Qt complained.
    const QString Previous = App.styleSheet();
    ParseWarning.clear();
    const QtMessageHandler PreviousHandler = qInstallMessageHandler(CatchParseWarning);
    App.setStyleSheet(Sheet);
    {
        QWidget Probe;
        Probe.ensurePolished();
    }
    qInstallMessageHandler(PreviousHandler);
    if (!ParseWarning.isEmpty())
        App.setStyleSheet(Previous);
}
