#include "base/ErrorReport.h"

QString ErrorReportText(const QString& Text) {
    if (!Text.isEmpty() && Text.back().unicode() > u'.')
        return Text + u'.';
    return Text;
}
