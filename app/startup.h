#pragma once

class QApplication;

// What the client sets up once its application object exists and before
// its first window: the application's name, Qt's Chinese translation and
// the Chinese locale (installQtTranslation), the deployment settings taken
// from the environment (Config::initialize) and the application's images.
void prepareApplication(QApplication* app);
