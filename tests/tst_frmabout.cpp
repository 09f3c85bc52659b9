// The About box: its texts composed afresh at each showing, its controls
// where the box puts them, and the keys that close it.
#include "common/ProgramInfo.h"
#include "window/frmAbout.h"

#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QScreen>
#include <QTest>
#include <QTextEdit>

#include <algorithm>
#include <cmath>

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

// Contrast ratio of two colours as WCAG 2 defines it: 1 (none) to 21.
double contrast(const QColor &a, const QColor &b)
{
    const auto luminance = [](const QColor &colour) {
        const auto linear = [](double c) { return c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4); };
        return 0.2126 * linear(colour.redF()) + 0.7152 * linear(colour.greenF()) + 0.0722 * linear(colour.blueF());
    };
    const double la = luminance(a);
    const double lb = luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
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

        // The etched line: the theme's shadow over its light at y 184 and 185.
        const auto *line = control<QFrame>(about, "Line1");
        QCOMPARE(line->frameShape(), QFrame::HLine);
        QCOMPARE(line->frameShadow(), QFrame::Sunken);
        const QImage drawn = about.grab().toImage();
        for (const int x : {10, 200, 370}) {
            QCOMPARE(drawn.pixel(x, 184), about.palette().color(QPalette::Dark).rgb());
            QCOMPARE(drawn.pixel(x, 185), about.palette().color(QPalette::Light).rgb());
        }
        QCOMPARE(drawn.pixel(200, 183), about.palette().color(QPalette::Window).rgb());
        QCOMPARE(drawn.pixel(200, 186), about.palette().color(QPalette::Window).rgb());

        if (qEnvironmentVariableIsSet("VIMBREL_GRAB_DIR")) // to look at the box by eye
            drawn.save(qEnvironmentVariable("VIMBREL_GRAB_DIR") + QStringLiteral("/about.png"));
    }

    // Under a dark theme the title keeps to the theme's text colour, and the
    // etched line to its shadow and light, so neither vanishes.
    void readableUnderADarkPalette()
    {
        const QPalette before = QApplication::palette();
        const auto restore = qScopeGuard([&before] { QApplication::setPalette(before); });
        QApplication::setPalette(QPalette(QColor(45, 45, 48)));

        frmAbout about;
        about.open();
        QVERIFY(QTest::qWaitForWindowExposed(&about));
        const QColor background = about.palette().color(QPalette::Window);
        QVERIFY(background.lightnessF() < 0.3);
        const auto *title = control<QLabel>(about, "lblTitle");
        QVERIFY2(contrast(title->palette().color(QPalette::WindowText), background) >= 4.5,
                 qPrintable(title->palette().color(QPalette::WindowText).name()));

        // As drawn: a good part of the title's pixels stand out from the window.
        const QImage drawn = about.grab().toImage();
        int standingOut = 0;
        const QRect titleArea = title->geometry();
        for (int y = titleArea.top(); y <= titleArea.bottom(); ++y) {
            for (int x = titleArea.left(); x <= titleArea.right(); ++x)
                standingOut += contrast(drawn.pixelColor(x, y), background) >= 4.5;
        }
        QVERIFY2(standingOut >= 30, qPrintable(QString::number(standingOut)));

        QVERIFY(contrast(drawn.pixelColor(200, 184), background) >= 1.2);
        QVERIFY(contrast(drawn.pixelColor(200, 185), background) >= 1.2);
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
