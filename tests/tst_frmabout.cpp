// The About box: its texts composed afresh at each showing, its controls
// where the box puts them, and the keys that close it.
#include "app/frmAbout.h"
#include "platform/ProgramInfo.h"

#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QRegularExpression>
#include <QScreen>
#include <QTest>
#include <QTextEdit>

namespace {

const QString description = QStringLiteral(
    " produces HTML pages showing all GIF and/or JPG pictures from the directory you select "
    "(10 pictures/page).");

template<typename T>
T *control(const frmAbout &about, const char *name)
{
    T *found = about.findChild<T *>(QLatin1String(name));
    if (!found)
        qFatal("no control %s", name);
    return found;
}

QString text(const frmAbout &about, const char *name)
{
    return control<QTextEdit>(about, name)->toPlainText();
}

} // namespace

class AboutTest : public QObject
{
    Q_OBJECT

private slots:
    void texts()
    {
        frmAbout about;
        QCOMPARE(about.windowTitle(), QStringLiteral("About Vimbrel"));
        QCOMPARE(control<QLabel>(about, "lblTitle")->text(), ProgramInfo::title());

        const QString text1 = text(about, "Text1");
        const QString head = ProgramInfo::title() + description + QStringLiteral("\n\n");
        QVERIFY2(text1.startsWith(head), qPrintable(text1));
        const QString notice = text1.mid(head.size());
        QVERIFY(notice.contains(QStringLiteral("freeware")));
        QVERIFY(notice.endsWith(QLatin1String(ProgramInfo::contactAddress)));
        QVERIFY(!notice.contains(QLatin1Char('\n')));

        const QString text2 = text(about, "Text2");
        QVERIFY2(text2.startsWith(QStringLiteral("Disclaimer:\n\n")), qPrintable(text2));
        QVERIFY(text2.size() > 40);
    }

    void versionLineFromTheProjectVersion()
    {
        frmAbout about;
        const QString line = control<QLabel>(about, "lblVersion")->text();
        QCOMPARE(line, QStringLiteral("Version " VIMBREL_PROJECT_VERSION));
        // Each number plain decimal: no leading zeros, no padding.
        QVERIFY2(QRegularExpression(QStringLiteral("^Version (0|[1-9]\\d*)\\.(0|[1-9]\\d*)\\.(0|[1-9]\\d*)$"))
                     .match(line)
                     .hasMatch(),
                 qPrintable(line));
    }

    void shownTwiceWithTheSameTexts()
    {
        QWidget window;
        window.resize(611, 408);
        window.show();
        QString first;
        for (int showing = 0; showing < 2; ++showing) {
            frmAbout about(&window);
            about.open();
            QVERIFY(QTest::qWaitForWindowExposed(&about));
            const QString both = text(about, "Text1") + text(about, "Text2");
            QCOMPARE(both.count(description), 1);
            QCOMPARE(both.count(QStringLiteral("Disclaimer:")), 1);
            if (showing == 0)
                first = both;
            else
                QCOMPARE(both, first);
            about.accept();
        }
    }

    void layout()
    {
        QWidget window;
        window.resize(611, 408);
        // Away from the screen's centre, where a box without an owner would go.
        window.move(window.screen()->availableGeometry().topLeft() + QPoint(20, 20));
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        frmAbout about(&window);
        about.open();
        QVERIFY(QTest::qWaitForWindowExposed(&about));

        QVERIFY(about.isModal());
        QCOMPARE(about.size(), QSize(382, 300));
        QCOMPARE(about.minimumSize(), about.maximumSize());
        QVERIFY(!(about.windowFlags() & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint)));
        const QPoint offCentre = about.geometry().center() - window.geometry().center();
        // Where the platform reports no window frames (X without a window
        // manager), Qt allows for a guessed frame of up to 10 x 40 pixels.
        QVERIFY2(qAbs(offCentre.x()) <= 11 && qAbs(offCentre.y()) <= 40, qPrintable(QStringLiteral("off by %1,%2").arg(offCentre.x()).arg(offCentre.y())));

        QCOMPARE(control<QPushButton>(about, "cmdOK")->geometry(), QRect(284, 266, 84, 23));
        QCOMPARE(control<QLabel>(about, "picIcon")->geometry(), QRect(16, 16, 36, 36));
        QCOMPARE(control<QLabel>(about, "picIcon")->pixmap().size(), QSize(32, 32));
        QCOMPARE(control<QLabel>(about, "picIcon")->contentsRect().size(), QSize(32, 32));
        QCOMPARE(control<QTextEdit>(about, "Text1")->geometry(), QRect(16, 82, 319, 90));
        QCOMPARE(control<QTextEdit>(about, "Text2")->geometry(), QRect(13, 199, 260, 89));
        QVERIFY(control<QTextEdit>(about, "Text1")->isReadOnly());
        QCOMPARE(control<QTextEdit>(about, "Text2")->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);

        // The etched line: grey over white at y 184 and 185.
        const QImage drawn = about.grab().toImage();
        QCOMPARE(drawn.pixelColor(200, 184), QColor(128, 128, 128));
        QCOMPARE(drawn.pixelColor(200, 185), QColor(Qt::white));

        if (qEnvironmentVariableIsSet("VIMBREL_GRAB_DIR")) // to look at the box by eye
            drawn.save(qEnvironmentVariable("VIMBREL_GRAB_DIR") + QStringLiteral("/about.png"));
    }

    void focusOnOkAsDefaultButton()
    {
        frmAbout about;
        about.open();
        QVERIFY(QTest::qWaitForWindowActive(&about));
        auto *ok = control<QPushButton>(about, "cmdOK");
        QCOMPARE(QApplication::focusWidget(), ok);
        QVERIFY(ok->isDefault());
    }

    void keysThatClose_data()
    {
        QTest::addColumn<QByteArray>("focus");
        QTest::addColumn<int>("key");
        QTest::addColumn<bool>("closes");
        QTest::newRow("Esc") << QByteArray("cmdOK") << int(Qt::Key_Escape) << true;
        QTest::newRow("Esc in a text box") << QByteArray("Text2") << int(Qt::Key_Escape) << true;
        QTest::newRow("Enter on OK") << QByteArray("cmdOK") << int(Qt::Key_Return) << true;
        QTest::newRow("Enter on the icon") << QByteArray("picIcon") << int(Qt::Key_Return) << true;
        QTest::newRow("Enter in a text box") << QByteArray("Text1") << int(Qt::Key_Return) << false;
        QTest::newRow("space on OK") << QByteArray("cmdOK") << int(Qt::Key_Space) << true;
    }

    void keysThatClose()
    {
        QFETCH(QByteArray, focus);
        QFETCH(int, key);
        QFETCH(bool, closes);
        frmAbout about;
        about.open();
        QVERIFY(QTest::qWaitForWindowActive(&about));
        QWidget *target = control<QWidget>(about, focus.constData());
        target->setFocus();
        QTest::keyClick(target, Qt::Key(key));
        QTRY_COMPARE(about.isVisible(), !closes);
    }

    void tabOrder()
    {
        frmAbout about;
        about.open();
        QVERIFY(QTest::qWaitForWindowActive(&about));
        QStringList visited;
        for (int i = 0; i < 4; ++i) {
            visited << QApplication::focusWidget()->objectName();
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        }
        QCOMPARE(visited, QStringList({"cmdOK", "picIcon", "Text1", "Text2"}));
    }
};

QTEST_MAIN(AboutTest)
#include "tst_frmabout.moc"
