#include "control/LogExport.h"

#include "base/SystemReason.h"

#include <QSaveFile>
#include <QStringList>
#include <cerrno>
#include <stdexcept>

namespace {

// Rows read at a time, so that a long log is never held in memory whole.
constexpr int PageRows = 1000;

// Whether a spreadsheet program would read Text as a formula (and run it on opening).
bool LooksLikeFormula(const QString& Text) {
    return !Text.isEmpty() && QStringView(u"=+-@\t\r").contains(Text.front());
}

// A field quoted, its quotes doubled, when it holds a comma, a quote or a line break. One that
// would be a formula gets a single quote in front, inside the quotes, so that spreadsheet
// programs show it as text.
QString CsvField(const QString& Text) {
    const bool Formula = LooksLikeFormula(Text);
    const bool Plain = !Formula && !Text.contains(u',') && !Text.contains(u'"') &&
                       !Text.contains(u'\n') && !Text.contains(u'\r');
    if (Plain)
        return Text;
    return QStringLiteral("\"%1%2\"")
        .arg(Formula ? QStringLiteral("'") : QString(),
             QString(Text).replace(u'"', QStringLiteral("\"\"")));
}

QByteArray CsvLine(const QStringList& Fields) {
    QStringList Quoted;
    for (const QString& Field : Fields)
        Quoted << CsvField(Field);
    return (Quoted.join(u',') + QStringLiteral("\r\n")).toUtf8();
}

QString FieldText(const QVariant& Value, int Column) {
    if (Column == ListingMomentColumn) {
        const QDateTime Moment = DateTimeFromText(Value.toString());
        if (Moment.isValid())
            return Moment.toString(QStringLiteral("yyyy-MM-dd'T'HH:mm:ss"));
    }
    return Value.isNull() ? QString() : Value.toString();
}

[[noreturn]] void RaiseWriteError(const QString& Path, const QSaveFile& File) {
    const int Errno = errno;
    const QString Reason = Errno != 0 ? SystemReasonText(Errno) : File.errorString();
    throw std::runtime_error(QStringLiteral("Het bestand %1 kan niet worden geschreven: %2")
                                 .arg(Path, Reason)
                                 .toStdString());
}

} // namespace

void ExportLogCsv(TLogData& Data, const TLogFilter& Filter, const QString& Path) {
    QSaveFile File(Path);
    // Each step on the file starts from a clear errno, so that a failure names its own reason.
    const auto Check = [&Path, &File](const auto& Step) {
        errno = 0;
        if (!Step())
            RaiseWriteError(Path, File);
    };
    const auto Write = [&File, &Check](const QByteArray& Line) {
        Check([&] { return File.write(Line) == Line.size(); });
    };
    Check([&] { return File.open(QIODevice::WriteOnly); });
    TListingPage Page = Data.ReadPage(RecordingsListing(Filter, {}, PageRows));
    QStringList Names;
    for (int Col = 0; Col < Page.Columns.count(); ++Col)
        Names << Page.Columns.fieldName(Col);
    Write(CsvLine(Names));
    for (;;) {
        for (const QVector<QVariant>& Row : Page.Rows) {
            QStringList Fields;
            for (int Col = 0; Col < Row.size(); ++Col)
                Fields << FieldText(Row[Col], Col);
            Write(CsvLine(Fields));
        }
        if (Page.Rows.size() < PageRows)
            break;
        Page = Data.ReadPage(
            RecordingsListing(Filter, PageStartBelow(Page.Rows.constLast()), PageRows));
    }
    Check([&] { return File.commit(); });
}
