#pragma once

#include "data/uData.h"

#include <QSqlDatabase>
#include <QSqlQuery>

// The two steps every statement of the store takes, shared by its source files.

// Steps to the next row; false at the end, an exception when the engine fails midway.
bool NextRow(QSqlQuery& Q);

// A prepared statement with its named values bound, executed on Db; throws on an engine error.
QSqlQuery RunOn(const QSqlDatabase& Db, const TStatement& Statement);
