// The login gate on a real pseudo-terminal: the identity check frame, the answer, the
// administrator password, and the hand-over of port 1 between Com and Com1.

#include "app_fixture.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

using testing_support::Bytes;
using testing_support::Hex;
using testing_support::PtyPair;

namespace {
bool Waiting(AppFixture& app) { return app.main().Com->PortOpen() && !app.login().Com1->PortOpen(); }
bool Checking(AppFixture& app) { return !app.main().Com->PortOpen() && app.login().Com1->PortOpen(); }

void Check(AppFixture& app, const QString& code)
{
    app.login().Edit3->setText(code);
    app.login().Button3->click();
}
}  // namespace

class LoginTest : public QObject {
    Q_OBJECT
private slots:
    void loginWindowLook()
    {
        AppFixture app;
        TForm6& w = app.login();
        QCOMPARE(w.windowTitle(), QStringLiteral("用户登录"));
        QCOMPARE(w.Edit1->echoMode(), QLineEdit::Password);
        QCOMPARE(w.Button3->text(), QStringLiteral("身份认证"));
        QCOMPARE(w.Button4->text(), QStringLiteral("管理员登录"));
        QCOMPARE(w.Button2->text(), QStringLiteral("退出"));
        QCOMPARE(w.Edit3->geometry(), QRect(96, 32, 121, 21));
        QCOMPARE(w.Button4->geometry(), QRect(264, 128, 97, 25));
        QCOMPARE(w.Button2->geometry(), QRect(264, 224, 97, 25));
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        QTRY_COMPARE(QApplication::focusWidget(), static_cast<QWidget*>(w.Edit1));
        QVERIFY(Waiting(app));
    }

    void codeOfWrongLengthIsRefused_data()
    {
        QTest::addColumn<QString>("code");
        QTest::newRow("five and a blank") << "12345 ";
        QTest::newRow("seven") << "1234567";
        QTest::newRow("empty") << "";
        QTest::newRow("chinese counts two bytes") << QStringLiteral("12345中");
    }
    void codeOfWrongLengthIsRefused()
    {
        QFETCH(QString, code);
        AppFixture app;
        Check(app, code);
        QCOMPARE(app.boxes.informed, QStringList{QStringLiteral("验证码不正确!")});
        QVERIFY(Waiting(app));
        QVERIFY(app.Sent().isEmpty());
    }

    void nonHexadecimalCodeChangesNothing_data()
    {
        QTest::addColumn<QString>("code");
        QTest::newRow("letter g") << "12345g";
        QTest::newRow("chinese of six bytes") << QStringLiteral("1234中");
        QTest::newRow("blank inside") << "123 45";
    }
    void nonHexadecimalCodeChangesNothing()
    {
        QFETCH(QString, code);
        AppFixture app;
        Check(app, code);
        QCOMPARE(app.boxes.informed, QStringList{QStringLiteral("验证码不正确!")});
        QVERIFY(app.boxes.errors.isEmpty());
        QVERIFY(Waiting(app));
        QVERIFY(app.Sent().isEmpty());
    }

    void identityCheckFrame()
    {
        AppFixture app;
        Check(app, QStringLiteral("  aA0fF9\t"));
        QVERIFY(Checking(app));
        QCOMPARE(app.login().Com1->RThreshold(), 4);
        QCOMPARE(app.Sent(), Bytes({0xAB, 0xAE, 0x0A, 0x0A, 0x00, 0x0F, 0x0F, 0x09, 0xAF}));
        // A second check while the first is unanswered goes out on the open Com1.
        Check(app, QStringLiteral("123456"));
        QVERIFY(Checking(app));
        QCOMPARE(app.Sent(), Bytes({0xAB, 0xAE, 0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0xAF}));
    }

    void acceptedCodeOpensTheMainWindowAndRefreshesOnce()
    {
        AppFixture app;
        Check(app, QStringLiteral("123456"));
        app.Sent();
        app.Receive(Bytes({0x00, 0xAE, 0x55, 0x00}));
        QVERIFY(Waiting(app));
        QVERIFY(!app.login().isVisible());
        QVERIFY(app.main().isVisible());
        QVERIFY(app.main().Timer1->isActive());
        // One second later: one refresh request, carrying the code digits left in the buffer.
        QCOMPARE(app.pty.Read(11, 4000), Bytes({0xAB, 0xAD, 0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0xAF, 0x00, 0xAF}));
        QVERIFY(!app.main().Timer1->isActive());
        QVERIFY(app.pty.ReadAll(1500).isEmpty());
        QVERIFY(app.boxes.informed.isEmpty());
    }

    void rejectedCodeReturnsThePort()
    {
        AppFixture app;
        Check(app, QStringLiteral("654321"));
        app.Sent();
        app.Receive(Bytes({0xAB, 0xAE, 0x5A, 0xAF}));
        QCOMPARE(app.boxes.informed, QStringList{QStringLiteral("验证码输入不正确!")});
        QVERIFY(Waiting(app));
        QVERIFY(!app.main().isVisible());
        QVERIFY(!app.main().Timer1->isActive());
        // The main port works again on the hidden window...
        app.Receive(Bytes({0xAB, 0x01, 0x2E, 0x00, 0x00, 0x00, 0x00, 0xA1, 0xB1, 0x00, 0xAF}));
        QCOMPARE(app.main().Label5->text(), QStringLiteral("1.0000Ω"));
        // ...until a new check takes it over again.
        Check(app, QStringLiteral("654321"));
        QVERIFY(Checking(app));
    }

    void otherAnswersChangeNothing()
    {
        AppFixture app;
        Check(app, QStringLiteral("123456"));
        app.Sent();
        app.Receive(Bytes({0xAB, 0xAD, 0x55, 0xAF}));
        app.Receive(Bytes({0xAB, 0xAE, 0x00, 0xAF}));
        QVERIFY(Checking(app));
        QVERIFY(app.boxes.informed.isEmpty());
        QCOMPARE(app.login().Com1->InBufferCount(), 0);
        // Still waiting for the real answer, which then works.
        app.Receive(Bytes({0xAB, 0xAE, 0x55, 0xAF}));
        QVERIFY(app.main().isVisible());
    }

    void administratorLogin()
    {
        AppFixture app;
        for (const QString& wrong : {QStringLiteral(" 582"), QStringLiteral("582 "), QStringLiteral("58"), QString()}) {
            app.login().Edit1->setText(wrong);
            app.login().Button4->click();
        }
        QCOMPARE(app.boxes.informed, QStringList(4, QStringLiteral("管理员登录号不正确!")));
        QVERIFY(!app.main().isVisible());

        // From the checking state: Com1 is closed and Com opened.
        Check(app, QStringLiteral("123456"));
        QVERIFY(Checking(app));
        app.Sent();
        app.login().Edit1->setText(QStringLiteral("582"));
        app.login().Button4->click();
        QVERIFY(Waiting(app));
        QVERIFY(app.main().isVisible());
        QVERIFY(!app.login().isVisible());
        QCOMPARE(app.pty.Read(11, 4000), Bytes({0xAB, 0xAD, 0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0xAF, 0x00, 0xAF}));
    }

    void firstRefreshAfterAdministratorLoginIsClean()
    {
        AppFixture app;
        // Typed and confirmed with Enter, as at the bench.
        QTest::keyClicks(app.login().Edit1, QStringLiteral("582"));
        QCOMPARE(app.login().Edit1->displayText(), QStringLiteral("***"));
        QTest::keyClick(app.login().Edit1, Qt::Key_Return);
        QVERIFY(app.main().isVisible());
        QCOMPARE(app.pty.Read(11, 4000), Bytes({0xAB, 0xAD, 0, 0, 0, 0, 0, 0, 0, 0, 0xAF}));
    }

    void exitClosesTheMainForm()
    {
        AppFixture app;
        QSignalSpy closed(&app.login(), &TForm6::Closed);
        app.login().show();
        app.login().Button2->click();
        QCOMPARE(closed.count(), 1);
        QVERIFY(!app.login().isVisible());
    }
};

QTEST_MAIN(LoginTest)
#include "test_login.moc"
