#pragma once

#include "login.h"
#include "selecttool.h"
#include "signin.h"
#include "toplevelwindows.h"

#include <QtTest>

#include <QComboBox>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QTemporaryDir>

#include <memory>

// The front door for end-to-end tests of the demo fixture (only for tests
// that link the application library): signs in as the demo user through
// the real sign-in dialog, with the remembered-user file in a temporary
// folder, and hands over the launcher it opens, on the flagship shop. The
// launcher, if still open, goes with this object.
class DemoSignIn
{
public:
    DemoSignIn() { RememberedUser::setFolder(m_userDir.path()); }
    ~DemoSignIn()
    {
        delete m_launcher.data();
        RememberedUser::setFolder(QString());
    }

    // The launcher, or nullptr when the sign-in opened none in time.
    SelectTool* signIn()
    {
        m_login = std::make_unique<Login>();
        m_login->show();
        QTest::keyClicks(m_login->findChild<QLineEdit*>("username"), "demo");
        QTest::keyClicks(m_login->findChild<QLineEdit*>("password"), "demo123");
        QTest::mouseClick(m_login->findChild<QPushButton*>("okButton"), Qt::LeftButton);
        if (!QTest::qWaitFor([] { return topLevelWindow<SelectTool>() != nullptr; }))
            return nullptr;
        m_launcher = topLevelWindow<SelectTool>();
        m_launcher->findChild<QComboBox*>("comboBox")->setCurrentIndex(0);
        return m_launcher;
    }

private:
    QTemporaryDir m_userDir;
    std::unique_ptr<Login> m_login;
    QPointer<SelectTool> m_launcher;
};
