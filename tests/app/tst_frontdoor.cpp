#include "appfixture.h"
#include "config.h"
#include "login.h"
#include "recordingdesktop.h"
#include "releasedrequests.h"
#include "scriptedprompts.h"
#include "selecttool.h"
#include "signin.h"
#include "standin.h"
#include "startup.h"
#include "toolwindows.h"
#include "toplevelwindows.h"

#include <QtTest>

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>

// From the sign-in dialog through the launcher's shop switch, with the real
// windows against the stand-in service.
class TestFrontDoor : public QObject
{
    Q_OBJECT

private slots:
    void signInAndSwitchShops();
    void standardButtonsSpeakChinese();
};

void TestFrontDoor::signInAndSwitchShops()
{
    AppFixture fixture;
    ReleasedRequests released;
    ScriptedPrompts prompts;
    RecordingDesktop desktop;
    QTemporaryDir userDir;
    RememberedUser::setFolder(userDir.path());
    StandIn service(fixture.write());

    // A tool window plugged in for the run, standing for the design separation.
    QList<QPointer<QWidget>> opened;
    ToolWindows::setOpener(1, [&opened](SelectTool*) {
        auto* window = ToolWindows::showMaximizedTool<QWidget>();
        window->setWindowTitle(QStringLiteral("检索订单"));
        window->setProperty("storenames", Config::storenames);
        opened.append(window);
        return window;
    });
    // The opener writes to this row's locals: it goes with the row.
    const auto resetOpeners = qScopeGuard(&ToolWindows::resetOpeners);

    // Sign in, remembering the password.
    auto login = std::make_unique<Login>();
    login->show();
    QVERIFY(QTest::qWaitForWindowExposed(login.get()));
    QTest::keyClicks(login->findChild<QLineEdit*>("username"), "li");
    QTest::keyClicks(login->findChild<QLineEdit*>("password"), "pw123");
    QTest::mouseClick(login->findChild<QCheckBox*>("checkBox"), Qt::LeftButton);
    QTest::mouseClick(login->findChild<QPushButton*>("okButton"), Qt::LeftButton);

    QTRY_VERIFY(topLevelWindow<SelectTool>());
    SelectTool* launcher = topLevelWindow<SelectTool>();
    QPointer<SelectTool> launcherGuard(launcher);
    QVERIFY(QTest::qWaitForWindowExposed(launcher));
    QVERIFY(!login->isVisible());
    QCOMPARE(Config::uid, QStringLiteral("2048"));

    // Pick the second shop and the design separation, press Return.
    auto* combo = launcher->findChild<QComboBox*>("comboBox");
    QCOMPARE(combo->count(), 3);
    combo->setCurrentIndex(1);
    auto* tool = launcher->findChild<QRadioButton*>("radioButton_separatePhotos");
    QVERIFY(tool->isEnabled());
    QTest::mouseClick(tool, Qt::LeftButton, {}, QPoint(8, tool->height() / 2));
    QVERIFY(tool->isChecked());
    QTest::keyClick(launcher, Qt::Key_Return);
    QTRY_COMPARE(opened.size(), 1);

    QCOMPARE(Config::shop_id, QStringLiteral("162"));
    QCOMPARE(Config::shop_name, QStringLiteral("西店"));
    QCOMPARE(Config::fj_cpname, QStringLiteral("02底片"));
    QCOMPARE(opened.first()->property("storenames").toStringList(), QStringList({"西一馆", "西二馆"}));
    QVERIFY(opened.first()->isVisible());
    QVERIFY(launcher->isVisible()); // the launcher stays open beside the tool

    // Back to the first shop: the tool window closes, another opens.
    opened.first()->close();
    QTRY_VERIFY(opened.first().isNull());
    combo->setCurrentIndex(0);
    QTest::mouseClick(launcher->findChild<QPushButton*>("pushButton"), Qt::LeftButton);
    QTRY_COMPARE(opened.size(), 2);
    QCOMPARE(Config::shop_id, QStringLiteral("12"));
    QCOMPARE(Config::fj_cpname, QStringLiteral("成品"));
    QCOMPARE(service.requests("public", "switch_shop").size(), 2);

    // The next start finds the remembered user.
    Login again;
    QCOMPARE(again.findChild<QLineEdit*>("username")->text(), QStringLiteral("li"));
    QCOMPARE(again.findChild<QLineEdit*>("password")->text(), QStringLiteral("pw123"));
    QVERIFY(again.findChild<QCheckBox*>("checkBox")->isChecked());
    QTRY_COMPARE(service.requests("Version", "check_update").size(), 2);
    // Both checks answered: their requests have released themselves.
    QTRY_COMPARE_WITH_TIMEOUT(released.count(), 2, 10000);

    QVERIFY2(prompts.unexpected().isEmpty(), qPrintable(prompts.unexpected().join('|')));
    QVERIFY(prompts.calls().isEmpty());
    launcher->close();
    QTRY_VERIFY(launcherGuard.isNull()); // deleted on close
    for (const QPointer<QWidget>& w : opened)
        delete w.data();
    RememberedUser::setFolder(QString());
}

void TestFrontDoor::standardButtonsSpeakChinese()
{
    // The start-up main() runs; install-deps.sh brings the translation.
    prepareApplication(qApp);
    QCOMPARE(QApplication::applicationName(), QStringLiteral("Velmor软件-Dravin"));
    QMessageBox box;
    box.setStandardButtons(QMessageBox::Yes | QMessageBox::No | QMessageBox::Ok | QMessageBox::Cancel);
    for (const char* english : {"Yes", "No", "OK", "Cancel"}) {
        for (QAbstractButton* button : box.buttons())
            QVERIFY2(!button->text().contains(english), qPrintable(button->text()));
    }
    QCOMPARE(box.button(QMessageBox::Yes)->text().remove('&').left(1), QStringLiteral("是"));
    QVERIFY(QCoreApplication::translate("QFileDialog", "&Open") != QLatin1String("&Open"));
    // The date pickers' month names follow the same language.
    QCOMPARE(QLocale().monthName(3), QStringLiteral("三月"));
    QLocale::setDefault(QLocale::c());
}

QTEST_MAIN(TestFrontDoor)
#include "tst_frontdoor.moc"
