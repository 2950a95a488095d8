#include "ui/uPresetEdit.h"

#include "ui/MessageBoxes.h"
#include "ui/RadioGroup.h"
#include "ui/UiFont.h"

#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSlider>
#include <QVBoxLayout>

namespace {

bool IsBlankOrControl(QChar C) {
    return C.unicode() <= u' ' || C.isSpace() || C.category() == QChar::Other_Control;
}

// The name without blanks and control characters at either end.
QString TrimmedName(const QString& Text) {
    qsizetype First = 0;
    qsizetype Last = Text.size();
    while (First < Last && IsBlankOrControl(Text[First]))
        ++First;
    while (Last > First && IsBlankOrControl(Text[Last - 1]))
        --Last;
    return Text.mid(First, Last - First);
}

QLabel* QualityLabel(const QString& Text, Qt::Alignment Alignment, QWidget* Parent) {
    auto* Label = new QLabel(Text, Parent);
    Label->setFont(UiFont(11));
    Label->setAlignment(Alignment);
    QPalette Grey = Label->palette();
    Grey.setColor(QPalette::WindowText, QColor(150, 150, 150));
    Label->setPalette(Grey);
    return Label;
}

QStringList FormatCaptions() {
    QStringList Captions;
    for (const char* Name : FormatNames)
        Captions << QString::fromLatin1(Name);
    return Captions;
}

QStringList SampleRateCaptions() {
    QStringList Captions;
    for (const int32_t Rate : SampleRates)
        Captions << QString::number(Rate);
    return Captions;
}

} // namespace

int BitrateToIndex(int32_t Bitrate) {
    for (int I = 0; I < static_cast<int>(Bitrates.size()); ++I)
        if (Bitrates[I] >= Bitrate)
            return I;
    return DefaultBitratePosition;
}

int SampleRateToIndex(int32_t SampleRate) {
    for (int I = 0; I < static_cast<int>(SampleRates.size()); ++I)
        if (SampleRates[I] == SampleRate)
            return I;
    return DefaultSampleRateIndex;
}

bool TfrmPresetEdit::Edit(QWidget* AOwner, TPreset& P) {
    TfrmPresetEdit Dialog(AOwner);
    Dialog.LoadPreset(P);
    if (Dialog.exec() != QDialog::Accepted)
        return false;
    Dialog.StorePreset(P);
    return true;
}

TfrmPresetEdit::TfrmPresetEdit(QWidget* AOwner) : QDialog(AOwner) {
    setObjectName(QStringLiteral("frmPresetEdit"));
    setWindowTitle(QStringLiteral("Opname-instellingen"));
    setFont(UiFont(12));

    lblName = new QLabel(QStringLiteral("Naam"), this);
    edtName = new QLineEdit(this);
    edtName->setFixedWidth(420);
    lblName->setBuddy(edtName);

    rgFormat = new TRadioGroup(QStringLiteral("Opnameformaat"), FormatCaptions(), 4, this);
    rgFormat->setFixedSize(420, 60);
    rgSample =
        new TRadioGroup(QStringLiteral("Sample-Frequentie (Hz)"), SampleRateCaptions(), 4, this);
    rgSample->setFixedSize(300, 92);
    rgChannels = new TRadioGroup(QStringLiteral("Kanalen"),
                                 {QStringLiteral("Mono"), QStringLiteral("Stereo")}, 1, this);
    rgChannels->setFixedSize(108, 92);

    gbBitrate = new QGroupBox(QStringLiteral("Bitrate"), this);
    gbBitrate->setFixedSize(420, 150);
    lblBitrate = new QLabel(gbBitrate);
    tbBitrate = new QSlider(Qt::Horizontal, gbBitrate);
    tbBitrate->setRange(0, static_cast<int>(Bitrates.size()) - 1);
    tbBitrate->setPageStep(1);
    tbBitrate->setTickInterval(1);
    tbBitrate->setTickPosition(QSlider::TicksBelow);
    tbBitrate->setFixedWidth(396);
    lblLowQ = QualityLabel(QStringLiteral("Lage kwaliteit\nkleine bestanden"),
                           Qt::AlignLeft | Qt::AlignTop, gbBitrate);
    lblHighQ = QualityLabel(QStringLiteral("Hoge kwaliteit\ngrote bestanden"),
                            Qt::AlignRight | Qt::AlignTop, gbBitrate);

    btnOK = new QPushButton(QStringLiteral("OK"), this);
    btnOK->setFixedSize(82, 30);
    btnOK->setDefault(true);
    btnCancel = new QPushButton(QStringLiteral("Annuleren"), this);
    btnCancel->setFixedSize(82, 30);

    const std::pair<QWidget*, const char*> Names[] = {
        {lblName, "lblName"},       {edtName, "edtName"},       {rgFormat, "rgFormat"},
        {rgSample, "rgSample"},     {rgChannels, "rgChannels"}, {gbBitrate, "gbBitrate"},
        {lblBitrate, "lblBitrate"}, {tbBitrate, "tbBitrate"},   {lblLowQ, "lblLowQ"},
        {lblHighQ, "lblHighQ"},     {btnOK, "btnOK"},           {btnCancel, "btnCancel"}};
    for (const auto& [Control, Name] : Names)
        Control->setObjectName(QLatin1String(Name));

    auto* Quality = new QHBoxLayout;
    Quality->addWidget(lblLowQ);
    Quality->addStretch();
    Quality->addWidget(lblHighQ);
    auto* BitrateLayout = new QVBoxLayout(gbBitrate);
    BitrateLayout->setContentsMargins(12, 8, 12, 8);
    BitrateLayout->addWidget(lblBitrate);
    BitrateLayout->addWidget(tbBitrate);
    BitrateLayout->addLayout(Quality);
    BitrateLayout->addStretch();

    auto* Options = new QHBoxLayout;
    Options->setSpacing(12);
    Options->addWidget(rgSample);
    Options->addWidget(rgChannels);
    Options->addStretch();

    auto* Buttons = new QHBoxLayout;
    Buttons->addStretch();
    Buttons->addWidget(btnOK);
    Buttons->addWidget(btnCancel);

    auto* Main = new QVBoxLayout(this);
    Main->setContentsMargins(16, 12, 16, 12);
    Main->setSpacing(8);
    Main->addWidget(lblName);
    Main->addSpacing(-4);
    Main->addWidget(edtName);
    Main->addWidget(rgFormat);
    Main->addLayout(Options);
    Main->addWidget(gbBitrate);
    Main->addStretch();
    Main->addLayout(Buttons);
    setFixedSize(452, 449);

    connect(rgFormat, &TRadioGroup::Clicked, this, &TfrmPresetEdit::rgFormatClick);
    connect(tbBitrate, &QSlider::valueChanged, this, &TfrmPresetEdit::tbBitrateChange);
    connect(btnOK, &QPushButton::clicked, this, &TfrmPresetEdit::btnOKClick);
    connect(btnCancel, &QPushButton::clicked, this, &QDialog::reject);
}

void TfrmPresetEdit::LoadPreset(const TPreset& P) {
    edtName->setText(P.Name);
    // A format outside the four reads as MP3, as the store reads an unknown format text.
    rgFormat->SetItemIndex(P.Format >= afWAV && P.Format <= afOPUS ? P.Format : afMP3);
    rgSample->SetItemIndex(SampleRateToIndex(P.SampleRate));
    // Only mono and stereo are offered; any other stored count shows as mono, as in the list.
    rgChannels->SetItemIndex(P.Channels == 2 ? 1 : 0);
    tbBitrate->setValue(P.Bitrate > 0 ? BitrateToIndex(P.Bitrate) : DefaultBitratePosition);
    rgFormatClick();
    tbBitrateChange();
}

void TfrmPresetEdit::StorePreset(TPreset& P) const {
    P.Name = TrimmedName(edtName->text());
    P.Format = static_cast<TAudioFormat>(rgFormat->ItemIndex());
    P.SampleRate = SampleRates[rgSample->ItemIndex()];
    P.Channels = rgChannels->ItemIndex() + 1;
    P.Bitrate = P.Format == afWAV ? 0 : Bitrates[tbBitrate->value()];
}

void TfrmPresetEdit::rgFormatClick() {
    const bool Encoded = rgFormat->ItemIndex() != afWAV;
    gbBitrate->setEnabled(Encoded);
    tbBitrate->setEnabled(Encoded);
    lblBitrate->setEnabled(Encoded);
}

void TfrmPresetEdit::tbBitrateChange() {
    lblBitrate->setText(QString::asprintf("Bitrate: %d kbit", Bitrates[tbBitrate->value()]));
}

void TfrmPresetEdit::btnOKClick() {
    edtName->setText(TrimmedName(edtName->text()));
    if (edtName->text().isEmpty()) {
        ShowWarning(this, QStringLiteral("Geef een naam op voor de preset."));
        edtName->setFocus();
        return;
    }
    accept();
}
