#include "app/ProgramArguments.h"

namespace {

const QByteArray DataDirOption = "--data-dir";
const QByteArray CoverageOption = "--coverage";

// Why Folder cannot be the data folder, in Dutch; empty when it can.
QString DataDirError(const QByteArray& Folder) {
    if (Folder.isEmpty() || Folder.startsWith('-'))
        return QStringLiteral("--data-dir verwacht een map, bijvoorbeeld --data-dir "
                              "/var/lib/vantor2026/studio1.");
    const QString Text = QString::fromLocal8Bit(Folder);
    for (const QChar C : Text)
        if (C.category() == QChar::Other_Control)
            return QStringLiteral("De map van --data-dir bevat een regeleinde of een ander "
                                  "stuurteken; kies een map zonder.");
    // A name the system's encoding cannot read would become the name of another folder.
    if (Text.toLocal8Bit() != Folder)
        return QStringLiteral("De map van --data-dir is geen geldige tekst in de tekenset van "
                              "het systeem; kies een map met een leesbare naam.");
    return {};
}

} // namespace

TProgramArguments ParseArguments(const QList<QByteArray>& Arguments) {
    TProgramArguments Result;
    const auto Refuse = [&Result](const QString& Error) {
        if (Result.Error.isEmpty())
            Result.Error = Error;
    };
    const auto TakeDataDir = [&](const QByteArray& Folder) {
        if (Result.DataDir)
            Refuse(QStringLiteral("--data-dir is meer dan eens gegeven."));
        else if (const QString Error = DataDirError(Folder); !Error.isEmpty())
            Refuse(Error);
        else
            Result.DataDir = QString::fromLocal8Bit(Folder);
    };
    const auto TakeCoverageDay = [&](const QByteArray& Day) {
        if (Result.CoverageDay)
            Refuse(QStringLiteral("--coverage is meer dan eens gegeven."));
        else if (Day.isEmpty() || Day.startsWith('-'))
            Refuse(QStringLiteral("--coverage verwacht een dag, bijvoorbeeld --coverage "
                                  "2026-03-05."));
        else
            Result.CoverageDay = QString::fromLocal8Bit(Day);
    };
    for (qsizetype I = 0; I < Arguments.size(); ++I) {
        const QByteArray& Argument = Arguments[I];
        if (Argument == "--help")
            Result.Help = true;
        else if (Argument == "--version")
            Result.Version = true;
        else if (Argument == "--headless")
            Result.Headless = true;
        else if (Argument == DataDirOption)
            TakeDataDir(I + 1 < Arguments.size() && !Arguments[I + 1].startsWith('-')
                            ? Arguments[++I]
                            : QByteArray());
        else if (Argument.startsWith(DataDirOption + '='))
            TakeDataDir(Argument.mid(DataDirOption.size() + 1));
        else if (Argument == CoverageOption)
            TakeCoverageDay(I + 1 < Arguments.size() && !Arguments[I + 1].startsWith('-')
                                ? Arguments[++I]
                                : QByteArray());
        else if (Argument.startsWith(CoverageOption + '='))
            TakeCoverageDay(Argument.mid(CoverageOption.size() + 1));
        else if (Argument == "--json")
            Result.Json = true;
        else if (Argument.startsWith('-'))
            Refuse(QStringLiteral("Onbekende optie: %1").arg(QString::fromLocal8Bit(Argument)));
        else
            Refuse(QStringLiteral("Onverwacht argument: %1").arg(QString::fromLocal8Bit(Argument)));
    }
    if (Result.Json && !Result.CoverageDay)
        Refuse(QStringLiteral("--json hoort bij --coverage."));
    if (Result.CoverageDay && Result.Headless)
        Refuse(QStringLiteral("--coverage gaat niet samen met --headless."));
    return Result;
}
