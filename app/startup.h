#pragma once

class QApplication;

// What the client sets up once its application object exists and before
// its first window: the application's name, Qt's Chinese translation and
// the Chinese locale (installQtTranslation), the deployment settings taken
// from the environment (Config::initialize), the application's images, and
// windows closed by the window manager kept whole until they are deleted
// (keepNativeWindowsUntilDeleted).
void prepareApplication(QApplication* app);
