#pragma once

#include <QString>
#include <exception>

// Delivers an event through Deliver (the application's own notify) and hands the text of
// every exception that escapes it to Report, so that an error in one event handler is
// reported and the event loop goes on. The window and the windowless mode both use it.
template <typename TDeliver, typename TReport>
bool DeliverReportingErrors(TDeliver&& Deliver, TReport&& Report) {
    try {
        return Deliver();
    } catch (const std::exception& E) {
        Report(QString::fromUtf8(E.what()));
    } catch (...) {
        Report(QStringLiteral("Onbekende fout"));
    }
    return false;
}
