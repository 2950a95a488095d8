#include "app/CoverageCommand.h"

#include "app/ProgramArguments.h"
#include "base/DataFolder.h"
#include "base/uConfig.h"
#include "control/Coverage.h"
#include "data/uData.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QRegularExpression>
#include <cstdio>

namespace {

int Fail(const QString& Text) {
    std::fprintf(stderr, "Fout: %s\n", Text.toUtf8().constData());
    return 1;
}

// The day of "yyyy-mm-dd"; invalid for any other text, also for a day the calendar lacks.
QDate DayFromText(const QString& Text) {
    static const QRegularExpression Shape(QStringLiteral("^\\d{4}-\\d{2}-\\d{2}$"));
    return Shape.match(Text).hasMatch() ? QDate::fromString(Text, Qt::ISODate) : QDate();
}

} // namespace

int RunCoverage(int& Argc, char** Argv, const TProgramArguments& Arguments) {
    const QCoreApplication App(Argc, Argv);
    const QDate Day = DayFromText(*Arguments.CoverageDay);
    if (!Day.isValid())
        return Fail(QStringLiteral("%1 is geen datum; geef de dag als JJJJ-MM-DD, bijvoorbeeld "
                                   "2026-03-05.")
                        .arg(*Arguments.CoverageDay));
    // A mistyped folder is not made: it has no ledger to show.
    if (Arguments.DataDir && !QFileInfo(*Arguments.DataDir).isDir())
        return Fail(QStringLiteral("De map %1 bestaat niet.").arg(*Arguments.DataDir));
    // Nothing is written: a folder without a settings file is one the program never ran in.
    const QString Folder = ChooseDataFolder(Arguments.DataDir).Path;
    if (!QFileInfo::exists(Folder + SettingsFileName))
        return Fail(
            QStringLiteral("Er is geen instellingenbestand %1.").arg(Folder + SettingsFileName));
    const TConfig Settings(Folder);
    if (!Settings.Warning().isEmpty())
        std::fprintf(stderr, "Let op: %s\n", Settings.Warning().toUtf8().constData());
    const QString DbPath = Settings.DatabasePath();
    if (!QFileInfo(DbPath).isFile())
        return Fail(QStringLiteral("Er is geen database %1.").arg(DbPath));
    try {
        TLogData Data(DbPath);
        const TCoverageDay Ledger = ReadCoverage(Data, Day, QDateTime::currentDateTime());
        const QByteArray Out =
            Arguments.Json ? CoverageJson(Ledger) + '\n' : CoverageText(Ledger).toUtf8();
        if (std::fwrite(Out.constData(), 1, size_t(Out.size()), stdout) != size_t(Out.size()) ||
            std::fflush(stdout) != 0)
            return Fail(QStringLiteral("Kan de dekking niet naar de standaarduitvoer schrijven."));
    } catch (const EDatabaseError& E) {
        return Fail(QStringLiteral("Kan de database %1 niet lezen: %2.")
                        .arg(DbPath, QString::fromUtf8(E.what())));
    }
    return 0;
}
