#include "app/AppSetup.h"

#include "base/uConfig.h"
#include "ui/DarkStyle.h"

#include <QApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

namespace {

// Qt's own texts in Dutch, from the translations the system ships (qtbase_nl.qm); without
// them Qt's texts stay English.
void LoadQtTranslations(QApplication& App) {
    auto* Translator = new QTranslator(&App);
    if (Translator->load(QLocale(QLocale::Dutch, QLocale::Netherlands), QStringLiteral("qtbase"),
                         QStringLiteral("_"), QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        App.installTranslator(Translator);
    else
        delete Translator;
}

} // namespace

void SetUpApplication(QApplication& App) {
    // No application display name: on X11 Qt would append it to every window's caption.
    App.setApplicationName(QStringLiteral("vantor2026"));
    App.setApplicationVersion(QStringLiteral(VANTOR_VERSION));
    LoadQtTranslations(App);
    ApplyBuiltInStyle(App);
    ApplyStyleFile(App, AppDir() + QStringLiteral("Windows10Dark.vsf"));
}
