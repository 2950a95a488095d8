#include "data/uData.h"

#include "data/SqlRows.h"

#include "base/RegionalText.h"

#include <QDir>
#include <QSqlError>
#include <QStringList>
#include <QUuid>
#include <algorithm>
#include <atomic>

TLogData& RequireDatabase(TLogData* Data) {
    if (!Data)
        throw EDatabaseError("Er is geen database geopend.");
    return *Data;
}

QString EngineErrorText(const QString& Code, const QString& EngineText) {
    // SQLite's extended result codes carry the primary code in their low byte.
    switch (Code.toInt() & 0xFF) {
    case 3: // SQLITE_PERM
        return QStringLiteral("geen toestemming voor het databasebestand");
    case 5: // SQLITE_BUSY
        return QStringLiteral("de database is vergrendeld door een ander programma");
    case 6: // SQLITE_LOCKED
        return QStringLiteral("een tabel van de database is vergrendeld");
    case 7: // SQLITE_NOMEM
        return QStringLiteral("onvoldoende geheugen voor de database");
    case 8: // SQLITE_READONLY
        return QStringLiteral("de database kan alleen gelezen worden, niet beschreven");
    case 10: // SQLITE_IOERR
        return QStringLiteral("invoer-/uitvoerfout bij het lezen of schrijven van de database");
    case 11: // SQLITE_CORRUPT
        return QStringLiteral("het databasebestand is beschadigd");
    case 13: // SQLITE_FULL
        return QStringLiteral("de database of de schijf is vol");
    case 14: // SQLITE_CANTOPEN
        return QStringLiteral("kan het databasebestand niet openen");
    case 26: // SQLITE_NOTADB
        return QStringLiteral("het bestand is geen database");
    default:
        return QStringLiteral("databasefout (%1)").arg(EngineText);
    }
}

void RaiseEngineError(const QSqlError& Error) {
    const QString Text = Error.databaseText().isEmpty() ? Error.driverText() : Error.databaseText();
    throw EDatabaseError(EngineErrorText(Error.nativeErrorCode(), Text).toStdString());
}

bool NextRow(QSqlQuery& Q) {
    if (Q.next())
        return true;
    if (Q.lastError().isValid())
        RaiseEngineError(Q.lastError());
    return false;
}

namespace {

using TValues = std::initializer_list<std::pair<const char*, QVariant>>;

// Qt binds a null QString as NULL; the store's texts are never null, only empty.
QVariant AsStored(const QVariant& Value) {
    if (Value.typeId() == QMetaType::QString && Value.toString().isNull())
        return QStringLiteral("");
    return Value;
}

// The columns of a logged recording as the retention rules see it, as LoggedFileFromRow reads
// them.
const QString LoggedFileColumns = QStringLiteral(
    "SELECT id, rec_dt, filepath, COALESCE(title, '') <> '' OR COALESCE(persons, '') <> '' "
    "FROM recordings");

TLoggedFile LoggedFileFromRow(const QSqlQuery& Q) {
    const QString Stored = Q.value(1).toString();
    return {Q.value(0).toInt(), DateTimeFromText(Stored), Q.value(2).toString(),
            Q.value(3).toBool(), Stored};
}

TStatement EventInsert(const TEventRow& Row) {
    return {QStringLiteral("INSERT INTO events (event_dt, event, kind, text, filepath) VALUES "
                           "(:dt, :e, :k, :t, :f)"),
            {{QStringLiteral(":dt"), DateTimeText(Row.At)},
             {QStringLiteral(":e"), Row.Event},
             {QStringLiteral(":k"), Row.Kind},
             {QStringLiteral(":t"), Row.Text},
             {QStringLiteral(":f"), Row.FilePath}}};
}

QString NextConnectionName() {
    static std::atomic<int> Counter{0};
    return QStringLiteral("vantor-logdata-%1").arg(++Counter);
}

QString TwoDigits(int Value) {
    return QStringLiteral("%1").arg(Value, 2, 10, QLatin1Char('0'));
}

TPreset PresetFromRow(const QSqlQuery& Q) {
    TPreset P;
    P.Id = Q.value(0).toInt();
    P.Name = Q.value(1).toString();
    P.Format = StrToFormat(Q.value(2).toString(), afMP3);
    P.SampleRate = Q.value(3).toInt();
    P.Channels = Q.value(4).toInt();
    P.Bitrate = Q.value(5).toInt();
    P.SortOrder = Q.value(6).toInt();
    return P;
}

// The LIKE pattern that finds Text anywhere, its wildcards and the escape character taken as
// they are.
QString ContainsPattern(const QString& Text) {
    QString Pattern = QStringLiteral("%");
    for (const QChar C : Text) {
        if (C == u'\\' || C == u'%' || C == u'_')
            Pattern += u'\\';
        Pattern += C;
    }
    return Pattern + u'%';
}

// The patterns that find Text in either case. LIKE folds only A to Z, so a text with other
// cased letters is looked for in lower and in upper case.
QStringList CaseFreePatterns(const QString& Text) {
    const bool OtherCased = std::any_of(Text.begin(), Text.end(), [](QChar C) {
        return C.unicode() > 0x7f && C.toLower() != C.toUpper();
    });
    if (!OtherCased)
        return {ContainsPattern(Text)};
    return {ContainsPattern(Text.toLower()), ContainsPattern(Text.toUpper())};
}

// The conditions of a statement being made, joined by AND.
struct TConditions {
    QStringList Terms;
    QVector<std::pair<QString, QVariant>> Values;

    QString Where() const {
        return Terms.isEmpty() ? QString() : QStringLiteral(" WHERE ") + Terms.join(u" AND ");
    }
};

TConditions FilterConditions(const TLogFilter& Filter) {
    TConditions C;
    // The stored moments begin with the day as "yyyy-mm-dd", so they sort as text.
    if (Filter.From.isValid()) {
        C.Terms << QStringLiteral("rec_dt >= :from");
        C.Values.append({QStringLiteral(":from"), Filter.From.toString(Qt::ISODate)});
    }
    if (Filter.To.isValid()) {
        C.Terms << QStringLiteral("rec_dt < :to");
        C.Values.append({QStringLiteral(":to"), Filter.To.addDays(1).toString(Qt::ISODate)});
    }
    if (!Filter.Text.isEmpty()) {
        QStringList Matches;
        const QStringList Patterns = CaseFreePatterns(Filter.Text);
        for (const char* Column : {"title", "persons", "preset_name", "filename"})
            for (const QString& Pattern : Patterns) {
                const QString Name = QStringLiteral(":text%1").arg(C.Values.size());
                Matches
                    << QStringLiteral("%1 LIKE %2 ESCAPE '\\'").arg(QLatin1String(Column), Name);
                C.Values.append({Name, Pattern});
            }
        C.Terms << u'(' + Matches.join(QStringLiteral(" OR ")) + u')';
    }
    return C;
}

TStatement PageStatement(const QString& Select, const QString& MomentColumn, TConditions C,
                         const TPageStart& After, int Limit) {
    if (!After.Id.isNull()) {
        C.Terms << QStringLiteral("(%1, id) < (:after_moment, :after_id)").arg(MomentColumn);
        C.Values.append({QStringLiteral(":after_moment"), After.Moment});
        C.Values.append({QStringLiteral(":after_id"), After.Id});
    }
    C.Values.append({QStringLiteral(":limit"), Limit});
    return {Select + C.Where() +
                QStringLiteral(" ORDER BY %1 DESC, id DESC LIMIT :limit").arg(MomentColumn),
            C.Values};
}

} // namespace

QSqlQuery RunOn(const QSqlDatabase& Db, const TStatement& Statement) {
    QSqlQuery Q(Db);
    // Rows are read once, in order; none is kept in the query.
    Q.setForwardOnly(true);
    if (!Q.prepare(Statement.Sql))
        RaiseEngineError(Q.lastError());
    for (const auto& [Name, Value] : Statement.Values)
        Q.bindValue(Name, AsStored(Value));
    if (!Q.exec())
        RaiseEngineError(Q.lastError());
    return Q;
}

TPageStart PageStartBelow(const QVector<QVariant>& Row) {
    return {Row.value(ListingMomentColumn), Row.value(ListingIdColumn)};
}

TStatement RecordingsListing(const TLogFilter& Filter, const TPageStart& After, int Limit) {
    return PageStatement(
        QStringLiteral("SELECT id, rec_dt AS \"%1\", rec_hour AS \"Uur\", rec_number AS \"Nr\", "
                       "format AS \"Formaat\", preset_name AS \"Preset\", title AS \"%2\", "
                       "persons AS \"%3\", duration_sec AS \"Duur(s)\", filepath AS \"%4\" "
                       "FROM recordings")
            .arg(ListingColumn::Moment, ListingColumn::Title, ListingColumn::Persons,
                 ListingColumn::FilePath),
        QStringLiteral("rec_dt"), FilterConditions(Filter), After, Limit);
}

TStatement RecordingsCount(const TLogFilter& Filter) {
    const TConditions C = FilterConditions(Filter);
    return {QStringLiteral("SELECT COUNT(*) FROM recordings") + C.Where(), C.Values};
}

TStatement EventsListing(const TPageStart& After, int Limit) {
    return PageStatement(
        QStringLiteral("SELECT id, event_dt AS \"%1\", event AS \"Gebeurtenis\", kind AS \"%2\", "
                       "text AS \"Omschrijving\", filepath AS \"Bestand\" FROM events")
            .arg(ListingColumn::Moment, ListingColumn::Kind),
        QStringLiteral("event_dt"), {}, After, Limit);
}

TLogData::TLogData(const QString& DbPath) {
    const qsizetype LastDelimiter = DbPath.lastIndexOf(QLatin1Char('/'));
    if (LastDelimiter < 0)
        throw EDatabaseError("Unable to create directory");
    // A folder that cannot be made shows up as the engine's error when the file is opened.
    QDir().mkpath(DbPath.left(LastDelimiter + 1));

    FConnectionName = NextConnectionName();
    FConn = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), FConnectionName);
    try {
        FConn.setDatabaseName(DbPath);
        FConn.setConnectOptions(
            QStringLiteral("QSQLITE_BUSY_TIMEOUT=%1").arg(BusyTimeoutMilliseconds));
        if (!FConn.open())
            RaiseEngineError(FConn.lastError());
        // The first statements read the file, so a file that is no database fails here.
        Run(QStringLiteral("PRAGMA locking_mode=NORMAL"));
        Run(QStringLiteral("PRAGMA synchronous=NORMAL"));
        Run(QStringLiteral("PRAGMA journal_mode=DELETE"));
        CreateSchema();
        SeedDefaultPresets();
    } catch (...) {
        Close();
        throw;
    }
}

TLogData::~TLogData() {
    Close();
}

void TLogData::Close() {
    FConn.close();
    FConn = QSqlDatabase();
    QSqlDatabase::removeDatabase(FConnectionName);
}

QSqlDatabase TLogData::Connection() const {
    return FConn;
}

void TLogData::SetBusyTimeout(int Milliseconds) {
    Run(QStringLiteral("PRAGMA busy_timeout=%1").arg(Milliseconds));
}

TBusyWait::TBusyWait(TLogData& Data, int Milliseconds)
    : FData(Data), FChanged(Milliseconds != Unchanged) {
    if (FChanged)
        FData.SetBusyTimeout(Milliseconds);
}

TBusyWait::~TBusyWait() {
    if (!FChanged)
        return;
    try {
        FData.SetBusyTimeout(TLogData::BusyTimeoutMilliseconds);
    } catch (const EDatabaseError&) {
        // Setting a pragma takes no lock; a connection that refuses it refuses everything.
    }
}

QSqlQuery TLogData::Run(const QString& Sql, TValues Values) {
    TStatement Statement{Sql, {}};
    for (const auto& [Name, Value] : Values)
        Statement.Values.append({QString::fromLatin1(Name), Value});
    return Run(Statement);
}

QSqlQuery TLogData::Run(const TStatement& Statement) {
    return RunOn(FConn, Statement);
}

QVariant TLogData::Single(const QString& Sql, TValues Values) {
    QSqlQuery Q = Run(Sql, Values);
    return NextRow(Q) ? Q.value(0) : QVariant();
}

void TLogData::CreateSchema() {
    Run(QStringLiteral("CREATE TABLE IF NOT EXISTS presets (  id INTEGER PRIMARY KEY "
                       "AUTOINCREMENT,  name TEXT NOT NULL,  format TEXT NOT NULL,  samplerate "
                       "INTEGER NOT NULL,  channels INTEGER NOT NULL,  bitrate INTEGER NOT NULL,  "
                       "sortorder INTEGER NOT NULL)"));
    Run(QStringLiteral("CREATE TABLE IF NOT EXISTS schedule (  day INTEGER NOT NULL,  hour "
                       "INTEGER NOT NULL,  preset_id INTEGER NOT NULL DEFAULT 0,  PRIMARY "
                       "KEY(day, hour))"));
    Run(QStringLiteral("CREATE TABLE IF NOT EXISTS recordings (  id INTEGER PRIMARY KEY "
                       "AUTOINCREMENT,  rec_dt TEXT NOT NULL,  rec_date TEXT NOT NULL,  rec_hour "
                       "INTEGER NOT NULL,  rec_number INTEGER NOT NULL,  preset_name TEXT,  "
                       "format TEXT,  filename TEXT,  filepath TEXT,  title TEXT,  persons TEXT,  "
                       "duration_sec INTEGER,  created_at TEXT)"));
    Run(QStringLiteral("CREATE TABLE IF NOT EXISTS events (  id INTEGER PRIMARY KEY "
                       "AUTOINCREMENT,  event_dt TEXT NOT NULL,  event TEXT NOT NULL,  kind TEXT "
                       "NOT NULL,  text TEXT,  filepath TEXT)"));
    // The log window lists and narrows recordings by their time.
    Run(QStringLiteral("CREATE INDEX IF NOT EXISTS recordings_rec_dt ON recordings(rec_dt)"));
    // Times to the millisecond with their offset from UTC, beside the milliseconds since the
    // epoch that order and select them: which audio a file holds, and why audio is missing.
    Run(QStringLiteral("CREATE TABLE IF NOT EXISTS recording_times (  recording_id INTEGER "
                       "PRIMARY KEY,  start_at TEXT NOT NULL,  start_ms INTEGER NOT NULL,  end_at "
                       "TEXT,  end_ms INTEGER,  frames INTEGER NOT NULL,  sample_rate INTEGER NOT "
                       "NULL,  drift_ppm REAL,  clock_synced INTEGER,  clock_max_error_us "
                       "INTEGER,  end_estimated INTEGER NOT NULL DEFAULT 0)"));
    Run(QStringLiteral(
        "CREATE INDEX IF NOT EXISTS recording_times_start ON recording_times(start_ms)"));
    Run(QStringLiteral("CREATE TABLE IF NOT EXISTS gaps (  id INTEGER PRIMARY KEY AUTOINCREMENT,  "
                       "from_at TEXT NOT NULL,  from_ms INTEGER NOT NULL,  to_at TEXT,  to_ms "
                       "INTEGER,  cause TEXT NOT NULL)"));
    Run(QStringLiteral("CREATE INDEX IF NOT EXISTS gaps_from ON gaps(from_ms)"));
}

void TLogData::SeedDefaultPresets() {
    if (Single(QStringLiteral("SELECT COUNT(*) FROM presets")).toInt() != 0)
        return;
    AddPreset({0, QStringLiteral("MP3 128 Kbit Stereo"), afMP3, 44100, 2, 128, 0});
    AddPreset({0, QStringLiteral("WAV 44 kHz Stereo"), afWAV, 44100, 2, 0, 1});
}

void TLogData::LoadPresets(TPresetList& List) {
    List.clear();
    QSqlQuery Q = Run(QStringLiteral("SELECT id,name,format,samplerate,channels,bitrate,sortorder "
                                     "FROM presets ORDER BY sortorder, id"));
    while (NextRow(Q))
        List.append(PresetFromRow(Q));
}

int32_t TLogData::AddPreset(const TPreset& P) {
    int32_t SortOrder = P.SortOrder;
    if (SortOrder == 0)
        SortOrder =
            Single(QStringLiteral("SELECT COALESCE(MAX(sortorder),-1)+1 FROM presets")).toInt();
    Run(QStringLiteral("INSERT INTO presets(name,format,samplerate,channels,bitrate,sortorder) "
                       "VALUES(:n,:f,:s,:c,:b,:o)"),
        {{":n", P.Name},
         {":f", FormatToStr(P.Format)},
         {":s", P.SampleRate},
         {":c", P.Channels},
         {":b", P.Bitrate},
         {":o", SortOrder}});
    return Single(QStringLiteral("SELECT last_insert_rowid()")).toInt();
}

void TLogData::UpdatePreset(const TPreset& P) {
    Run(QStringLiteral("UPDATE presets SET name=:n,format=:f,samplerate=:s,channels=:c,bitrate=:b "
                       "WHERE id=:id"),
        {{":n", P.Name},
         {":f", FormatToStr(P.Format)},
         {":s", P.SampleRate},
         {":c", P.Channels},
         {":b", P.Bitrate},
         {":id", P.Id}});
}

void TLogData::DeletePreset(int32_t Id) {
    Run(QStringLiteral("DELETE FROM presets WHERE id=:id"), {{":id", Id}});
    Run(QStringLiteral("UPDATE schedule SET preset_id=0 WHERE preset_id=:id"), {{":id", Id}});
}

void TLogData::MovePreset(int32_t Id, int32_t Direction) {
    const QVariant Own =
        Single(QStringLiteral("SELECT sortorder FROM presets WHERE id=:id"), {{":id", Id}});
    if (!Own.isValid())
        return;
    const QString NeighbourSql =
        Direction < 0 ? QStringLiteral("SELECT id,sortorder FROM presets WHERE sortorder<:o "
                                       "ORDER BY sortorder DESC LIMIT 1")
                      : QStringLiteral("SELECT id,sortorder FROM presets WHERE sortorder>:o "
                                       "ORDER BY sortorder ASC LIMIT 1");
    QSqlQuery Neighbour = Run(NeighbourSql, {{":o", Own}});
    if (!NextRow(Neighbour))
        return;
    const QVariant NeighbourId = Neighbour.value(0);
    const QVariant NeighbourOrder = Neighbour.value(1);
    // Done reading before writing, so the select holds no lock during the updates.
    Neighbour.finish();
    const QString Update = QStringLiteral("UPDATE presets SET sortorder=:o WHERE id=:id");
    Run(Update, {{":o", NeighbourOrder}, {":id", Id}});
    Run(Update, {{":o", Own}, {":id", NeighbourId}});
}

bool TLogData::GetPreset(int32_t Id, TPreset& P) {
    QSqlQuery Q = Run(QStringLiteral("SELECT id,name,format,samplerate,channels,bitrate,sortorder "
                                     "FROM presets WHERE id=:id"),
                      {{":id", Id}});
    if (!NextRow(Q))
        return false;
    P = PresetFromRow(Q);
    return true;
}

int32_t TLogData::GetSchedulePreset(int32_t Day, int32_t Hour) {
    return Single(QStringLiteral("SELECT preset_id FROM schedule WHERE day=:d AND hour=:h"),
                  {{":d", Day}, {":h", Hour}})
        .toInt();
}

void TLogData::SetSchedulePreset(int32_t Day, int32_t Hour, int32_t PresetId) {
    Run(QStringLiteral("INSERT INTO schedule(day,hour,preset_id) VALUES(:d,:h,:p) "
                       "ON CONFLICT(day,hour) DO UPDATE SET preset_id=:p2"),
        {{":d", Day}, {":h", Hour}, {":p", PresetId}, {":p2", PresetId}});
}

int32_t TLogData::LogRecording(const TPreset& P, const QDateTime& StartedAt, int32_t RecNumber,
                               const QString& FileName, const QString& FilePath) {
    const QDateTime Start = StartedAt.toLocalTime();
    Run(QStringLiteral("INSERT INTO recordings(rec_dt,rec_date,rec_hour,rec_number,preset_name,"
                       "format,filename,filepath,title,persons,duration_sec,created_at) "
                       "VALUES(:dt,:dd,:hh,:nn,:pn,:fm,:fn,:fp,'','',0,:ca)"),
        {{":dt", DateTimeText(Start)},
         {":dd", DateText(Start)},
         {":hh", Start.time().hour()},
         {":nn", RecNumber},
         {":pn", P.Name},
         {":fm", FormatToStr(P.Format)},
         {":fn", FileName},
         {":fp", FilePath},
         {":ca", DateTimeText(QDateTime::currentDateTime())}});
    return Single(QStringLiteral("SELECT last_insert_rowid()")).toInt();
}

void TLogData::UpdateRecordingMeta(int32_t Id, const QString& Title, const QString& Persons) {
    Run(QStringLiteral("UPDATE recordings SET title=:t, persons=:p WHERE id=:id"),
        {{":t", Title}, {":p", Persons}, {":id", Id}});
}

void TLogData::SetRecordingDuration(int32_t Id, int32_t Seconds) {
    Run(QStringLiteral("UPDATE recordings SET duration_sec=:s WHERE id=:id"),
        {{":s", Seconds}, {":id", Id}});
}

void TLogData::LogEvent(const QDateTime& At, const QString& Event, const QString& Kind,
                        const QString& Text, const QString& FilePath) {
    Run(EventInsert({At, Event, Kind, Text, FilePath}));
}

bool TLogData::IsLogged(const QString& FilePath) {
    return Single(QStringLiteral("SELECT 1 FROM recordings WHERE filepath=:p LIMIT 1"),
                  {{":p", FilePath}})
        .isValid();
}

int32_t TLogData::CountRecordingsInHour(const QDateTime& Moment) {
    return Single(
               QStringLiteral("SELECT COUNT(*) FROM recordings WHERE rec_date=:d AND rec_hour=:h"),
               {{":d", DateText(Moment)}, {":h", Moment.toLocalTime().time().hour()}})
        .toInt();
}

QVector<TLoggedFile> TLogData::LoggedFilesOldestFirst() {
    QSqlQuery Q = Run({LoggedFileColumns + QStringLiteral(" ORDER BY rec_dt, id"), {}});
    QVector<TLoggedFile> Rows;
    while (NextRow(Q))
        Rows.append(LoggedFileFromRow(Q));
    return Rows;
}

QVector<TUnfinishedRecording> TLogData::UnfinishedRecordings() {
    QSqlQuery Q =
        Run(QStringLiteral("SELECT id, filepath, format FROM recordings WHERE duration_sec=0"));
    QVector<TUnfinishedRecording> Rows;
    while (NextRow(Q))
        Rows.append(
            {Q.value(0).toInt(), Q.value(1).toString(), StrToFormat(Q.value(2).toString(), afMP3)});
    return Rows;
}

TListingPage TLogData::ReadPage(const TStatement& Listing) {
    QSqlQuery Q = Run(Listing);
    TListingPage Page{Q.record(), {}};
    const int Columns = Page.Columns.count();
    while (NextRow(Q)) {
        QVector<QVariant> Row(Columns);
        for (int Col = 0; Col < Columns; ++Col)
            Row[Col] = Q.value(Col);
        Page.Rows.append(std::move(Row));
    }
    return Page;
}

int32_t TLogData::Count(const TStatement& Counting) {
    QSqlQuery Q = Run(Counting);
    return NextRow(Q) ? Q.value(0).toInt() : 0;
}

TRetentionData::TRetentionData(const QString& DbPath)
    : FConnectionName(NextConnectionName()),
      FConn(QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), FConnectionName)) {
    FConn.setDatabaseName(DbPath);
    FConn.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=%1").arg(BusyMilliseconds));
    if (!FConn.open()) {
        const QSqlError Error = FConn.lastError();
        FConn = QSqlDatabase();
        QSqlDatabase::removeDatabase(FConnectionName);
        RaiseEngineError(Error);
    }
    RunOn(FConn, {QStringLiteral("PRAGMA synchronous=NORMAL"), {}});
}

TRetentionData::~TRetentionData() {
    FConn.close();
    FConn = QSqlDatabase();
    QSqlDatabase::removeDatabase(FConnectionName);
}

QVector<TLoggedFile> TRetentionData::LoggedFilesAfter(const TPageStart& After,
                                                      const QDateTime& Before, int Limit) {
    TConditions C;
    if (!After.Id.isNull()) {
        C.Terms << QStringLiteral("(rec_dt, id) > (:after_moment, :after_id)");
        C.Values.append({QStringLiteral(":after_moment"), After.Moment});
        C.Values.append({QStringLiteral(":after_id"), After.Id});
    }
    if (Before.isValid()) {
        // The stored times sort as text up to the hour, whatever the time separator: every row
        // up to the end of Before's hour comes through, and the caller compares the times.
        C.Terms << QStringLiteral("rec_dt < :before");
        C.Values.append({QStringLiteral(":before"), DateTimeText(Before.addSecs(3600)).left(13)});
    }
    C.Values.append({QStringLiteral(":limit"), Limit});
    QSqlQuery Q = RunOn(
        FConn, {LoggedFileColumns + C.Where() + QStringLiteral(" ORDER BY rec_dt, id LIMIT :limit"),
                C.Values});
    QVector<TLoggedFile> Rows;
    while (NextRow(Q))
        Rows.append(LoggedFileFromRow(Q));
    return Rows;
}

void TRetentionData::LogEvents(const QVector<TEventRow>& Rows) {
    if (!FConn.transaction())
        RaiseEngineError(FConn.lastError());
    try {
        for (const TEventRow& Row : Rows)
            RunOn(FConn, EventInsert(Row));
    } catch (...) {
        FConn.rollback();
        throw;
    }
    if (!FConn.commit()) {
        const QSqlError Error = FConn.lastError();
        FConn.rollback();
        RaiseEngineError(Error);
    }
}

QString SqliteVersion() {
    // Asked on a private in-memory connection, so that no database needs to be open.
    const QString Name = QStringLiteral("version-") + QUuid::createUuid().toString();
    QString Version;
    {
        QSqlDatabase Db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), Name);
        Db.setDatabaseName(QStringLiteral(":memory:"));
        if (Db.open()) {
            QSqlQuery Query(Db);
            if (Query.exec(QStringLiteral("select sqlite_version()")) && Query.next())
                Version = Query.value(0).toString();
        }
    }
    QSqlDatabase::removeDatabase(Name);
    return Version;
}

QString DateText(const QDateTime& Moment) {
    const QDate Date = Moment.toLocalTime().date();
    return QStringLiteral("%1-%2-%3")
        .arg(Date.year(), 4, 10, QLatin1Char('0'))
        .arg(TwoDigits(Date.month()), TwoDigits(Date.day()));
}

QDateTime DateTimeFromText(const QString& Text) {
    // "yyyy-mm-dd hh?nn?ss": the time separator is regional, so only the digits are read.
    const QString Trimmed = Text.trimmed();
    if (Trimmed.size() != 19)
        return {};
    const auto Number = [&Trimmed](int From, int Length) {
        bool Ok = false;
        const int Value = QStringView(Trimmed).mid(From, Length).toInt(&Ok);
        return Ok ? Value : -1;
    };
    const QDate Date(Number(0, 4), Number(5, 2), Number(8, 2));
    const QTime Time(Number(11, 2), Number(14, 2), Number(17, 2));
    return Date.isValid() && Time.isValid() ? QDateTime(Date, Time) : QDateTime();
}

QString DateTimeText(const QDateTime& Moment) {
    const QTime Time = Moment.toLocalTime().time();
    const QString Separator = TimeSeparator();
    return DateText(Moment) + QLatin1Char(' ') + TwoDigits(Time.hour()) + Separator +
           TwoDigits(Time.minute()) + Separator + TwoDigits(Time.second());
}
