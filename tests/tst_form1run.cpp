// A generation run started from the window, as a person sees it.
#include "common/SettingsStore.h"
#include "support/PageFiles.h"
#include "support/TestPictures.h"
#include "support/WindowFakes.h"
#include "window/DriveList.h"
#include "window/FolderList.h"
#include "window/Form1.h"
#include "window/RunMessages.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QImageReader>
#include <QLabel>
#include <QListView>
#include <QMessageBox>
#include <QPushButton>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QThreadPool>

#include <memory>

namespace {

bool writeGifs(const QString &folder, int count)
{
    QDir().mkpath(folder);
    for (int i = 1; i <= count; ++i) {
        const QString name = QStringLiteral("p%1.gif").arg(i, 4, 10, QLatin1Char('0'));
        if (!TestPictures::writeFile(QDir(folder).filePath(name), TestPictures::gif(3 + i % 7, 2)))
            return false;
    }
    return true;
}

} // namespace

class Form1RunTest : public QObject
{
    Q_OBJECT

private:
    WindowServices m_services;
    std::unique_ptr<Form1> m_window;

    QString folder(const QString &name) const { return m_services.dir->filePath(name); }
    const Form1Controls &c() const { return m_window->controls(); }

    void openWindowOn(const QString &name)
    {
        m_window = m_services.makeWindow();
        m_window->Form_Load(folder(name));
        m_window->show();
    }

    bool activate()
    {
        QApplication::setActiveWindow(m_window.get());
        return QTest::qWaitForWindowActive(m_window.get());
    }

    // Presses the generate button and waits for the run and its box.
    bool runAndWait()
    {
        QSignalSpy ended(m_window.get(), &Form1::runEnded);
        QTest::mouseClick(c().Command1, Qt::LeftButton);
        return ended.wait(30000);
    }

private slots:
    void init()
    {
        QVERIFY(m_services.reset());
        QVERIFY(QDir::setCurrent(m_services.dir->path()));
    }

    void cleanup()
    {
        m_window.reset();
        QDir::setCurrent(QDir::tempPath());
        m_services.dir.reset();
    }

    void runWritesPagesAndSaysCompleted()
    {
        QVERIFY(writeGifs(folder("pics"), 12));
        openWindowOn("pics");
        QVERIFY(runAndWait());

        QCOMPARE(m_services.boxes.boxes.size(), 1);
        const RecordingBoxes::Box box = m_services.boxes.boxes.first();
        QCOMPARE(box.icon, MessageBoxes::Icon::Information);
        QCOMPARE(box.title, QStringLiteral("HTML"));
        QCOMPARE(box.text, QStringLiteral("Completed"));
        QVERIFY(box.generateEnabled); // ready for another run while the box is up

        const QByteArray page1 = TestPictures::readFile(folder("pics/index1.htm"));
        QCOMPARE(page1.count("<img "), 10);
        QVERIFY(page1.contains("href=\"index2.htm\""));
        QCOMPARE(TestPictures::readFile(folder("pics/index2.htm")).count("<img "), 2);
        QVERIFY(!QFile::exists(folder("pics/index3.htm")));
        QCOMPARE(m_services.settings->path(), folder("pics"));
        QCOMPARE(c().Label5->text(), QStringLiteral("Read: 12"));
        QVERIFY(c().Label5->width() >= c().Label5->sizeHint().width());
    }

    // A box sized to "Completed" alone leaves a title bar no room for "HTML".
    void completedBoxHasRoomForItsTitle()
    {
        QMessageBox box(QMessageBox::Information, RunMessages::completedTitle(), RunMessages::completedText({}),
                        QMessageBox::Ok);
        QtMessageBoxes::makeRoomForTitle(box);
        box.show(); // not exec(): nothing waits for a click
        QVERIFY(QTest::qWaitForWindowExposed(&box));
        QVERIFY2(box.width() >= 260, qPrintable(QString::number(box.width())));
        box.close();
    }

    void controlsRestWhileRunning()
    {
        QVERIFY(writeGifs(folder("pics"), 30));
        openWindowOn("pics");
        QSignalSpy ended(m_window.get(), &Form1::runEnded);
        QTest::mouseClick(c().Command1, Qt::LeftButton);
        QVERIFY(m_window->isRunning());
        QVERIFY(!c().Command1->isEnabled());
        QVERIFY(!c().Drive1->isEnabled());
        QVERIFY(!c().Dir1->isEnabled());
        QVERIFY(c().List1->isEnabled());
        QVERIFY(c().Command3->isEnabled());
        QVERIFY(ended.wait(30000));
        QVERIFY(!m_window->isRunning());
        QVERIFY(c().Command1->isEnabled());
        QVERIFY(c().Drive1->isEnabled());
        QVERIFY(c().Dir1->isEnabled());
    }

    void skippedFilesAreListedBelowCompleted()
    {
        QVERIFY(writeGifs(folder("pics"), 2));
        QVERIFY(TestPictures::writeFile(folder("pics/broken.jpg"), "this is no picture"));
        openWindowOn("pics");
        QVERIFY(runAndWait());

        QCOMPARE(m_services.boxes.boxes.size(), 1);
        const QString text = m_services.boxes.boxes.first().text;
        QVERIFY2(text.startsWith(QStringLiteral("Completed\n\n")), qPrintable(text));
        const QString line = text.split(QLatin1Char('\n')).last();
        QVERIFY2(line.startsWith(QStringLiteral("broken.jpg: ")) && line.size() > 14, qPrintable(text));
        QCOMPARE(TestPictures::readFile(folder("pics/index1.htm")).count("<img "), 2);
    }

    // A name holding line breaks stays on its one line, escaped: it cannot
    // add a line that seems to come from the program.
    void skippedNameCannotForgeALine()
    {
        QVERIFY(writeGifs(folder("pics"), 2));
        QVERIFY(TestPictures::writeFile(folder("pics/z\nCompleted\n.gif"), "this is no picture"));
        openWindowOn("pics");
        QVERIFY(runAndWait());

        QCOMPARE(m_services.boxes.boxes.size(), 1);
        const QStringList lines = m_services.boxes.boxes.first().text.split(QLatin1Char('\n'));
        QCOMPARE(lines.size(), 4);
        QCOMPARE(lines.count(QStringLiteral("Completed")), 1);
        QVERIFY2(lines.last().startsWith(QStringLiteral("z\\nCompleted\\n.gif: ")), qPrintable(lines.last()));
    }

    void failureNamingAFolderWithLineBreaksIsOneLine()
    {
        const QString pics = folder("pics\nCompleted\r");
        QVERIFY(writeGifs(pics, 3));
        const QString page = pics + QStringLiteral("/index1.htm");
        QVERIFY(TestPictures::writeFile(page, "kept"));
        QVERIFY(QFile::setPermissions(page, QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther));
        openWindowOn("pics\nCompleted\r");
        QVERIFY(runAndWait());

        QCOMPARE(m_services.boxes.boxes.size(), 1);
        const QString text = m_services.boxes.boxes.first().text;
        QCOMPARE(m_services.boxes.boxes.first().icon, MessageBoxes::Icon::Critical);
        QVERIFY2(!text.contains(QLatin1Char('\n')) && !text.contains(QLatin1Char('\r')), qPrintable(text));
        QVERIFY2(text.contains(QStringLiteral("pics\\nCompleted\\r")), qPrintable(text));
    }

    void readOnlyPageIsReported()
    {
        QVERIFY(writeGifs(folder("pics"), 3));
        const QString page = folder("pics/index1.htm");
        QVERIFY(TestPictures::writeFile(page, "kept"));
        QVERIFY(QFile::setPermissions(page, QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther));
        openWindowOn("pics");
        QVERIFY(runAndWait());

        QCOMPARE(m_services.boxes.boxes.size(), 1);
        const RecordingBoxes::Box box = m_services.boxes.boxes.first();
        QCOMPARE(box.icon, MessageBoxes::Icon::Critical);
        QVERIFY2(box.text.contains(QDir::toNativeSeparators(page)), qPrintable(box.text));
        QVERIFY2(box.text.contains(QStringLiteral("read-only")), qPrintable(box.text));
        QVERIFY(!box.text.contains(QStringLiteral("Completed")));
        QCOMPARE(TestPictures::readFile(page), QByteArray("kept"));

        // The window is ready for another run once the file may be written.
        QVERIFY(QFile::setPermissions(page, QFile::ReadOwner | QFile::WriteOwner));
        QVERIFY(runAndWait());
        QCOMPARE(m_services.boxes.boxes.size(), 2);
        QCOMPARE(m_services.boxes.boxes.last().text, QStringLiteral("Completed"));
        QCOMPARE(TestPictures::readFile(page).count("<img "), 3);
    }

    void folderWithoutPicturesCompletesAndKeepsTheCount()
    {
        QVERIFY(writeGifs(folder("pics"), 3));
        QVERIFY(QDir().mkpath(folder("empty")));
        openWindowOn("pics");
        QVERIFY(runAndWait());
        QCOMPARE(c().Label5->text(), QStringLiteral("Read: 3"));
        QVERIFY(c().Dir1->setPath(folder("empty")));
        QVERIFY(runAndWait());
        QCOMPARE(m_services.boxes.boxes.size(), 2);
        QCOMPARE(m_services.boxes.boxes.last().text, QStringLiteral("Completed"));
        QCOMPARE(c().Label5->text(), QStringLiteral("Read: 3")); // nothing read, nothing counted
        QVERIFY(!QFile::exists(folder("empty/index1.htm")));
        QCOMPARE(m_services.settings->path(), folder("empty"));
    }

    void pagesMenuChoosesAndRemembersTheStyle()
    {
        QVERIFY(writeGifs(folder("pics"), 49)); // one past a gallery page, five classic pages
        openWindowOn("pics");
        QVERIFY(c().mnuClassicPages->isChecked());
        QVERIFY(!c().mnuGalleryPages->isChecked());
        QCOMPARE(c().mnuGalleryPages->text(), QStringLiteral("Gallery pages with thumbnails"));
        QTRY_COMPARE_WITH_TIMEOUT(c().Label2->text(), QStringLiteral("Number of HTML pages: 5"), 10000);
        c().mnuGalleryPages->trigger(); // the folder is listed again, its phone photos with it
        QTRY_COMPARE_WITH_TIMEOUT(c().Label2->text(), QStringLiteral("Number of HTML pages: 2"), 10000);
        QVERIFY(!c().mnuClassicPages->isChecked()); // one group: checking one clears the other
        QCOMPARE(m_services.settings->pageStyle(), PageStyle::Gallery);
        QVERIFY(c().mnuOrderByName->isChecked());
        c().mnuOrderByDate->trigger();
        QVERIFY(!c().mnuOrderByName->isChecked());
        QCOMPARE(m_services.settings->pictureOrder(), PictureOrder::Date);
        QVERIFY(c().mnuSubFolders->isEnabled());
        c().mnuSubFolders->trigger();
        QVERIFY(m_services.settings->includeSubFolders());
        QVERIFY(writeGifs(folder("pics/sub"), 1));

        // Older classic pages above the gallery's one: named in the box, as on the command line.
        PageFiles::writeOldPages(folder("pics"), 3);
        QVERIFY(runAndWait());
        QCOMPARE(m_services.boxes.boxes.last().text,
                 QStringLiteral("Completed\n\nAlbums written: 2, with 50 pictures.\n\nOlder pages left as they were: index3.htm"));
        QVERIFY(QFile::exists(folder("pics/sub/index1.htm")));
        QVERIFY(TestPictures::readFile(folder("pics/index1.htm")).startsWith("<!DOCTYPE html>"));
        QVERIFY(QFile::exists(folder("pics/vimbrel/small/p0001.gif.jpg")));
        QCOMPARE(c().Label5->text(), QStringLiteral("Thumbnails: 50")); // the sub-album's too

        // The next window opens on the stored choice; classic again gives the classic pages.
        openWindowOn("pics");
        QVERIFY(c().mnuGalleryPages->isChecked());
        QVERIFY(c().mnuOrderByDate->isChecked());
        QVERIFY(c().mnuSubFolders->isChecked());
        c().mnuClassicPages->trigger();
        QVERIFY(!c().mnuSubFolders->isEnabled());
        QCOMPARE(m_services.settings->pageStyle(), PageStyle::Classic);
        QVERIFY(runAndWait());
        QVERIFY(TestPictures::readFile(folder("pics/index1.htm")).startsWith("<!DOCTYPE HTML PUBLIC"));
        QCOMPARE(c().Label5->text(), QStringLiteral("Read: 49"));
    }

    void enterOnTheFocusedGenerateStartsARun_data()
    {
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("modifiers");
        QTest::newRow("Return") << int(Qt::Key_Return) << int(Qt::NoModifier);
        QTest::newRow("keypad Enter") << int(Qt::Key_Enter) << int(Qt::KeypadModifier);
        QTest::newRow("Space") << int(Qt::Key_Space) << int(Qt::NoModifier);
    }

    // The focus starts on "Genarate Html": Enter there writes the pages.
    void enterOnTheFocusedGenerateStartsARun()
    {
        QFETCH(int, key);
        QFETCH(int, modifiers);
        QVERIFY(writeGifs(folder("pics"), 3));
        openWindowOn("pics");
        QVERIFY(activate());
        QCOMPARE(QApplication::focusWidget(), c().Command1);

        QSignalSpy ended(m_window.get(), &Form1::runEnded);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key(key), Qt::KeyboardModifiers(modifiers));
        QVERIFY(m_window->isRunning());
        QVERIFY(ended.wait(30000));
        QCOMPARE(m_services.boxes.boxes.size(), 1);
        QCOMPARE(m_services.boxes.boxes.first().text, QStringLiteral("Completed"));
        QCOMPARE(TestPictures::readFile(folder("pics/index1.htm")).count("<img "), 3);
    }

    void enterOnTheFocusedCloseCloses()
    {
        QVERIFY(QDir().mkpath(folder("empty")));
        openWindowOn("empty");
        QVERIFY(activate());
        c().Command3->setFocus();
        QCOMPARE(QApplication::focusWidget(), c().Command3);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        QVERIFY(!m_window->isVisible());
    }

    void enterElsewhereStartsNothing_data()
    {
        QTest::addColumn<QString>("control");
        QTest::newRow("Drive1") << "Drive1";
        QTest::newRow("List1") << "List1";
        QTest::newRow("Dir1") << "Dir1";
    }

    // Neither button is the default: Enter on another control presses none.
    void enterElsewhereStartsNothing()
    {
        QFETCH(QString, control);
        QVERIFY(writeGifs(folder("pics"), 3));
        openWindowOn("pics");
        QVERIFY(activate());
        QWidget *widget = m_window->findChild<QWidget *>(control);
        QVERIFY(widget);
        widget->setFocus();
        QCOMPARE(QApplication::focusWidget(), widget);
        QTest::keyClick(widget, Qt::Key_Return);
        QTest::keyClick(widget, Qt::Key_Enter, Qt::KeypadModifier);
        QVERIFY(!m_window->isRunning());
        QVERIFY(m_window->isVisible());
        QVERIFY(m_services.boxes.boxes.isEmpty());
        QVERIFY(!QFile::exists(folder("pics/index1.htm")));
    }

    // Whether the close lands before or after the last page, no page is left
    // half written, no stray file stays behind, and no box comes up.
    void closingDuringARunStopsCleanly()
    {
        QVERIFY(writeGifs(folder("pics"), 1500));
        openWindowOn("pics");
        QTest::mouseClick(c().Command1, Qt::LeftButton);
        QTest::qWait(20);
        QVERIFY(m_window->close());
        QVERIFY(!m_window->isRunning());
        QThreadPool::globalInstance()->waitForDone();
        QCoreApplication::processEvents(); // a late notice would be delivered now
        QVERIFY(m_services.boxes.boxes.isEmpty());

        const QStringList written = QDir(folder("pics")).entryList({QStringLiteral("*.htm*")}, QDir::Files);
        for (const QString &name : written) {
            QVERIFY2(QRegularExpression(QStringLiteral("^index\\d+\\.htm$")).match(name).hasMatch(), qPrintable(name));
            QVERIFY2(TestPictures::readFile(folder("pics/") + name).endsWith("</html>\r\n"), qPrintable(name));
        }
    }

    // Closed while it makes thumbnails: the close returns once the run has
    // stopped, short of its pages, and every thumbnail it leaves is whole.
    void closingDuringAGalleryRunStopsCleanly()
    {
        QVERIFY(QDir().mkpath(folder("photos")));
        for (int i = 0; i < 40; ++i) {
            const QString name = QStringLiteral("photos/photo%1.jpg").arg(i, 2, 10, QLatin1Char('0'));
            QVERIFY(TestPictures::writeFile(folder(name), TestPictures::jpeg(1600 + i, 1200)));
        }
        QVERIFY(m_services.settings->savePageStyle(PageStyle::Gallery));
        openWindowOn("photos");
        QTest::mouseClick(c().Command1, Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(c().Label5->text().startsWith(QLatin1String("Thumbnails: ")), 20000);
        QVERIFY(m_window->close());
        QVERIFY(!m_window->isRunning());
        QThreadPool::globalInstance()->waitForDone();
        QCoreApplication::processEvents();
        QVERIFY(m_services.boxes.boxes.isEmpty());

        for (const char *images : {"photos/vimbrel/small", "photos/vimbrel/large", "photos/vimbrel/web"}) {
            const QDir made(folder(images));
            qInfo("closed with %lld of 40 in %s", qint64(made.entryList(QDir::Files).size()), images);
            for (const QString &name : made.entryList(QDir::Files)) {
                QVERIFY2(name.endsWith(QLatin1String(".jpg.jpg")), qPrintable(name)); // no temporary left
                QImageReader reader(made.filePath(name));
                QVERIFY2(!reader.read().isNull(), qPrintable(name + QStringLiteral(": ") + reader.errorString()));
            }
        }
        // A photograph takes tens of milliseconds: the close came with most of them still to make.
        QVERIFY(QDir(folder("photos/vimbrel/small")).entryList(QDir::Files).size() < 40);
        QCOMPARE(QDir(folder("photos")).entryList({QStringLiteral("*.htm*")}, QDir::Files), QStringList());
    }
};

QTEST_MAIN(Form1RunTest)
#include "tst_form1run.moc"
