#pragma once

#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QStringList>
#include <QUuid>
#include <gtest/gtest.h>
#include <ostream>

// Texts in test failures read as text.
inline void PrintTo(const QString& Text, std::ostream* Out) {
    *Out << '"' << Text.toStdString() << '"';
}

// Every row of a statement, each as its column texts ("NULL" for a null value), run on Db.
inline QList<QStringList> SqlRows(const QSqlDatabase& Db, const QString& Sql) {
    QList<QStringList> Rows;
    QSqlQuery Q(Db);
    if (!Q.exec(Sql)) {
        ADD_FAILURE() << Sql.toStdString() << ": " << Q.lastError().text().toStdString();
        return Rows;
    }
    while (Q.next()) {
        QStringList Row;
        for (int I = 0; I < Q.record().count(); ++I)
            Row << (Q.isNull(I) ? QStringLiteral("NULL") : Q.value(I).toString());
        Rows << Row;
    }
    return Rows;
}

// Runs statements on a database file through a connection of its own, closed afterwards.
inline void SqlExecOnFile(const QString& Path, const QStringList& Statements) {
    const QString Name = QUuid::createUuid().toString();
    {
        QSqlDatabase Db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), Name);
        Db.setDatabaseName(Path);
        ASSERT_TRUE(Db.open()) << Db.lastError().text().toStdString();
        for (const QString& Sql : Statements) {
            QSqlQuery Q(Db);
            EXPECT_TRUE(Q.exec(Sql))
                << Sql.toStdString() << ": " << Q.lastError().text().toStdString();
        }
        Db.close();
    }
    QSqlDatabase::removeDatabase(Name);
}
