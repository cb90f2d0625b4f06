#pragma once

class QCoreApplication;

// Installs Qt's own Chinese translation (qtbase_zh_CN from Qt's translations
// folder), so the standard buttons and dialogs ("Yes", "Cancel", "Open")
// speak the interface's language, and makes Chinese the default locale (the
// calendars' month and day names). False when the translation is not there;
// the client then runs with Qt's English texts.
bool installQtTranslation(QCoreApplication* app);
