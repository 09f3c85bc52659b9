// The main window as a person first sees it: places, captions, size, focus.
#include "common/SettingsStore.h"
#include "support/WindowFakes.h"
#include "window/Captions.h"
#include "window/Form1.h"

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QFrame>
#include <QTest>

#include <memory>

class Form1LayoutTest : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    std::unique_ptr<QSettingsStore> m_settings;
    RecordingBoxes m_boxes;
    CountingBeeper m_beeper;
    std::unique_ptr<Form1> m_window;

    template<typename T = QWidget>
    T *control(const char *name) const
    {
        T *found = m_window->findChild<T *>(QLatin1String(name));
        if (!found)
            qWarning("no control named %s", name);
        return found;
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        m_settings = std::make_unique<QSettingsStore>(m_dir.filePath(QStringLiteral("settings.ini")));
        QDir::setCurrent(m_dir.path());
        m_window = std::make_unique<Form1>(Form1Services{*m_settings, m_boxes, m_beeper, {}});
        m_window->Form_Load();
        m_window->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
    }

    void cleanupTestCase()
    {
        m_window.reset();
        QVERIFY(m_boxes.boxes.isEmpty());
    }

    void fixedPlaces_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QRect>("geometry");
        QTest::newRow("Drive1") << "Drive1" << QRect(16, 8, 161, 21);
        QTest::newRow("Dir1") << "Dir1" << QRect(16, 40, 161, 81);
        QTest::newRow("List1") << "List1" << QRect(16, 128, 161, 173);
        QTest::newRow("Picture1") << "Picture1" << QRect(192, 8, 401, 339);
        QTest::newRow("Picture2") << "Picture2" << QRect(0, 0, 34, 34);
    }

    void fixedPlaces()
    {
        QFETCH(QString, name);
        QFETCH(QRect, geometry);
        const QWidget *widget = control(name.toLatin1().constData());
        QVERIFY(widget);
        QRect placed = widget->geometry();
        // The holder's place counts from the inside of the viewport's sunken border.
        if (const auto *viewport = qobject_cast<const QFrame *>(widget->parentWidget()); viewport && name == "Picture2")
            placed.translate(-viewport->contentsRect().topLeft());
        QCOMPARE(placed, geometry);
        QCOMPARE(Form1Controls::designGeometry(name), geometry);
    }

    // Buttons and labels keep their design corner and grow only to fit their caption.
    void captionsFitAtTheirPlaces_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("caption");
        QTest::newRow("Command1") << "Command1" << "Genarate Html";
        QTest::newRow("Command3") << "Command3" << "&Close";
        QTest::newRow("Label4") << "Label4" << "Picture size:";
        // The window lists the folder it starts in: here an empty one.
        QTest::newRow("Label1") << "Label1" << "Number of pictures: 0";
        QTest::newRow("Label2") << "Label2" << "Number of HTML pages: 0";
        QTest::newRow("Label3") << "Label3" << "";
        QTest::newRow("Label5") << "Label5" << "";
    }

    void captionsFitAtTheirPlaces()
    {
        QFETCH(QString, name);
        QFETCH(QString, caption);
        const QWidget *widget = control(name.toLatin1().constData());
        QVERIFY(widget);
        const QRect design = Form1Controls::designGeometry(name);
        if (const auto *button = qobject_cast<const QPushButton *>(widget)) {
            QCOMPARE(button->text(), caption);
            QCOMPARE(button->pos(), design.topLeft());
            QVERIFY(button->width() >= design.width());
            QVERIFY(button->height() >= design.height());
        } else {
            const auto *label = qobject_cast<const QLabel *>(widget);
            QVERIFY(label);
            QCOMPARE(label->text(), caption);
            QCOMPARE(label->y(), design.y());
            QVERIFY(label->x() >= design.x());
        }
        QVERIFY2(widget->width() >= widget->sizeHint().width(), "caption clipped across");
        QVERIFY2(widget->height() >= widget->sizeHint().height(), "caption clipped down");
    }

    // The preview writes Label3 directly; it must still size to the text, right of Label4.
    void labelWrittenElsewhereFitsItsText()
    {
        auto *label3 = control<QLabel>("Label3");
        auto *label4 = control<QLabel>("Label4");
        label3->setText(QStringLiteral("123456789012 Bytes"));
        QTRY_VERIFY(label3->width() >= label3->sizeHint().width());
        QVERIFY(label3->x() > label4->geometry().right());
        QVERIFY(label3->geometry().right() < Form1Controls::clientWidth);
        Captions::set(label3, {});
    }

    void clientAreaIsFixedBelowTheMenuBar()
    {
        const QWidget *client = m_window->centralWidget();
        QCOMPARE(client->size(), QSize(611, 408));
        QCOMPARE(client->y(), m_window->menuBar()->height());
        QCOMPARE(m_window->minimumSize(), m_window->maximumSize());
        QCOMPARE(m_window->height(), 408 + m_window->menuBar()->height());
        const Qt::WindowFlags flags = m_window->windowFlags();
        QVERIFY(!(flags & Qt::WindowMinimizeButtonHint));
        QVERIFY(!(flags & Qt::WindowMaximizeButtonHint));
        QVERIFY(flags & Qt::WindowCloseButtonHint);
        QCOMPARE(m_window->windowTitle(), QStringLiteral("Vimbrel"));
    }

    void centredOnTheScreen()
    {
        const QRect available = m_window->screen()->availableGeometry();
        const QPoint offset = m_window->frameGeometry().center() - available.center();
        QVERIFY2(qAbs(offset.x()) <= 16 && qAbs(offset.y()) <= 40,
                 qPrintable(QStringLiteral("off centre by %1,%2").arg(offset.x()).arg(offset.y())));
    }

    void menuBarHoldsAboutAndPages()
    {
        const QList<QAction *> actions = m_window->menuBar()->actions();
        QCOMPARE(actions.size(), 2);
        QCOMPARE(actions.first()->objectName(), QStringLiteral("mnuAbout"));
        QCOMPARE(actions.first()->text(), QStringLiteral("&About"));
        QVERIFY(!actions.first()->menu());
        QCOMPARE(actions.last()->text(), QStringLiteral("&Pages"));
        const QMenu *pages = actions.last()->menu();
        QVERIFY(pages);
        QStringList items;
        for (const QAction *item : pages->actions()) {
            items << item->text();
            QVERIFY(item->isSeparator() || item->isCheckable());
            QVERIFY(item->isSeparator() || item == pages->actions().last()
                    || (item->actionGroup() && item->actionGroup()->isExclusive()));
        }
        QCOMPARE(items, QStringList({"Classic pages", "Gallery pages with thumbnails", QString(), "Gallery in name order",
                                     "Gallery in order of date taken", "Include sub-folders"}));
        QVERIFY(!pages->actions().last()->isChecked());
        QVERIFY(!pages->actions().last()->isEnabled()); // the gallery's alone
        QVERIFY(pages->actions().first()->isChecked()); // classic unless chosen otherwise
        QVERIFY(pages->actions().at(3)->isChecked());    // and natural name order
        QVERIFY(pages->actions().first()->actionGroup() != pages->actions().at(3)->actionGroup());
    }

    void viewportAndHolder()
    {
        const auto *viewport = control<QFrame>("Picture1");
        const auto *holder = control<QLabel>("Picture2");
        QCOMPARE(holder->parentWidget(), viewport);
        QCOMPARE(viewport->palette().color(QPalette::Window), QColor(192, 0, 192));
        QVERIFY(viewport->autoFillBackground());
        QCOMPARE(viewport->frameShadow(), QFrame::Sunken);
        QCOMPARE(holder->frameShape(), QFrame::Box);
        QCOMPARE(holder->frameShadow(), QFrame::Plain);
        QCOMPARE(holder->frameWidth(), 1);
        QVERIFY(holder->palette().color(QPalette::Window) != QColor(192, 0, 192));
    }

    void scrollBars_data()
    {
        QTest::addColumn<QString>("name");
        QTest::newRow("HScroll1") << "HScroll1";
        QTest::newRow("VScroll1") << "VScroll1";
    }

    void scrollBars()
    {
        QFETCH(QString, name);
        const auto *bar = control<QScrollBar>(name.toLatin1().constData());
        QVERIFY(bar);
        QCOMPARE(bar->minimum(), 0);
        QCOMPARE(bar->value(), 0);
        QCOMPARE(bar->singleStep(), 5);
        QCOMPARE(bar->pageStep(), 10);
    }

    void focusStartsOnGenerateAndTabSkipsLabelsAndThePreview()
    {
        QApplication::setActiveWindow(m_window.get());
        QVERIFY(QTest::qWaitForWindowActive(m_window.get()));
        QCOMPARE(QApplication::focusWidget(), control("Command1"));

        // The viewport and the picture holder are no stops: focused, they would do nothing.
        const QStringList order = {QStringLiteral("Command1"), QStringLiteral("Drive1"),   QStringLiteral("Dir1"),
                                   QStringLiteral("List1"),    QStringLiteral("HScroll1"), QStringLiteral("VScroll1"),
                                   QStringLiteral("Command3")};
        QStringList expected;
        for (const QString &name : order) {
            if (control(name.toLatin1().constData())->isVisible())
                expected.append(name);
        }
        QStringList visited{QApplication::focusWidget()->objectName()};
        for (qsizetype i = 1; i < expected.size(); ++i) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            visited.append(QApplication::focusWidget()->objectName());
        }
        QCOMPARE(visited, expected);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget()->objectName(), QStringLiteral("Command1")); // round again
    }

    // A style marks the focus only once it moved by keyboard; Enter presses
    // the button the window starts on, so every stop shows a ring of the
    // highlight colour around it, from the start, and only the stop focused.
    void focusedControlIsMarked()
    {
        QApplication::setActiveWindow(m_window.get());
        QVERIFY(QTest::qWaitForWindowActive(m_window.get()));
        QWidget *client = m_window->centralWidget();
        const QColor highlight = client->palette().color(QPalette::Highlight);
        auto ringAround = [&](const QWidget *control) {
            const QImage shot = client->grab().toImage();
            const QRect around = control->geometry().adjusted(-1, -1, 1, 1);
            const QPoint centre = around.center();
            for (const QPoint &at : {QPoint(around.left(), centre.y()), QPoint(around.right(), centre.y()),
                                     QPoint(centre.x(), around.top()), QPoint(centre.x(), around.bottom())}) {
                if (shot.pixelColor(at) != highlight)
                    return false;
            }
            return true;
        };
        QWidget *previous = nullptr;
        for (const char *name : {"Command1", "Drive1", "Dir1", "List1", "Command3"}) {
            QWidget *control = this->control(name);
            control->setFocus(Qt::OtherFocusReason);
            QVERIFY2(ringAround(control), name);
            if (previous)
                QVERIFY2(!ringAround(previous), previous->objectName().toLatin1());
            previous = control;
        }
        control("Command1")->setFocus();
    }

    void neitherButtonIsDefault()
    {
        for (const char *name : {"Command1", "Command3"}) {
            const auto *button = control<QPushButton>(name);
            QVERIFY(!button->isDefault());
            QVERIFY(!button->autoDefault());
        }
    }
};

QTEST_MAIN(Form1LayoutTest)
#include "tst_form1layout.moc"
