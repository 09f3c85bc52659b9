// Start-up in the folder of the last run, and moving between drives and folders.
#include "common/SettingsStore.h"
#include "support/TestPictures.h"
#include "support/WindowFakes.h"
#include "window/DriveList.h"
#include "window/FolderList.h"
#include "window/Form1.h"

#include <QDir>
#include <QLabel>
#include <QListView>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

class Form1StartupTest : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<QSettingsStore> m_settings;
    RecordingBoxes m_boxes;
    CountingBeeper m_beeper;

    QString folder(const QString &name) const { return m_dir->filePath(name); }

    std::unique_ptr<Form1> makeWindow(const QStringList &drives = {})
    {
        return std::make_unique<Form1>(Form1Services{*m_settings, m_boxes, m_beeper, drives});
    }

    static QStringList started(const QSignalSpy &spy)
    {
        QStringList folders;
        for (const QList<QVariant> &arguments : spy)
            folders.append(arguments.first().toString());
        return folders;
    }

private slots:
    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        QVERIFY(m_dir->isValid());
        for (const char *name : {"current", "other", "asked", "driveB/pics", "driveB/more"})
            QVERIFY(QDir().mkpath(folder(QLatin1String(name))));
        for (const char *name : {"a.gif", "b.gif", "c.jpg"})
            QVERIFY(TestPictures::writeFile(QDir(folder("other")).filePath(QLatin1String(name)), TestPictures::gif(4, 4)));
        QVERIFY(TestPictures::writeFile(QDir(folder("current")).filePath(QStringLiteral("d.gif")), TestPictures::gif(4, 4)));
        QVERIFY(QDir::setCurrent(folder("current")));
        m_settings = std::make_unique<QSettingsStore>(folder("settings.ini"));
        m_boxes.boxes.clear();
    }

    void cleanup()
    {
        QDir::setCurrent(QDir::tempPath());
        m_dir.reset();
    }

    void formLoad_data()
    {
        QTest::addColumn<QString>("stored");    // relative to the temporary folder; "" for none
        QTest::addColumn<QString>("requested"); // the folder named on the command line
        QTest::addColumn<bool>("secondDrive");  // driveB is a drive of its own
        QTest::addColumn<QString>("shown");
        QTest::addColumn<QStringList>("listings");
        QTest::addColumn<int>("pictures"); // in the folder shown

        // The folder shown is always listed, also when opening it changed nothing.
        QTest::newRow("first start") << "" << "" << false << "current" << QStringList{"current"} << 1;
        QTest::newRow("stored is current") << "current" << "" << false << "current" << QStringList{"current"} << 1;
        QTest::newRow("stored on same drive") << "other" << "" << false << "other" << QStringList{"other"} << 3;
        QTest::newRow("stored deleted") << "gone" << "" << false << "current" << QStringList{"current"} << 1;
        QTest::newRow("stored on other drive") << "driveB/pics" << "" << true << "driveB/pics"
                                               << QStringList{"driveB/pics"} << 0;
        QTest::newRow("folder argument wins") << "other" << "asked" << false << "asked" << QStringList{"asked"} << 0;
    }

    void formLoad()
    {
        QFETCH(QString, stored);
        QFETCH(QString, requested);
        QFETCH(bool, secondDrive);
        QFETCH(QString, shown);
        QFETCH(QStringList, listings);
        QFETCH(int, pictures);

        if (!stored.isEmpty())
            QVERIFY(m_settings->savePath(folder(stored)));
        const QStringList drives = secondDrive ? QStringList{QStringLiteral("/"), folder("driveB")} : QStringList();
        auto window = makeWindow(drives);
        QSignalSpy listingStarted(window.get(), &Form1::listingStarted);
        QSignalSpy listingFinished(window.get(), &Form1::listingFinished);
        window->Form_Load(requested.isEmpty() ? QString() : folder(requested));

        const Form1Controls &c = window->controls();
        QCOMPARE(c.Dir1->path(), folder(shown));
        QStringList expected;
        for (const QString &name : listings)
            expected.append(folder(name));
        QCOMPARE(started(listingStarted), expected);
        if (secondDrive)
            QCOMPARE(c.Drive1->drive(), folder("driveB"));
        QVERIFY(listingFinished.wait(10000));
        QCOMPARE(listingFinished.first().first().toString(), folder(shown));
        QCOMPARE(c.List1->model()->rowCount(), pictures);
        QCOMPARE(c.Label1->text(), QStringLiteral("Number of pictures: %1").arg(pictures));
        QCOMPARE(c.Label2->text(), QStringLiteral("Number of HTML pages: %1").arg(pictures > 0 ? 1 : 0));
        QVERIFY(m_boxes.boxes.isEmpty()); // start-up is silent
    }

    // A folder named on the command line that cannot be opened is said in
    // the window, where a person who started it from a menu looks; the
    // window opens where it would have without the name.
    void unopenableFolderArgumentIsSaidInTheWindow()
    {
        QVERIFY(m_settings->savePath(folder("other")));
        auto window = makeWindow();
        window->Form_Load(folder("gone"));
        QCOMPARE(window->controls().Dir1->path(), folder("other"));
        window->show();
        QVERIFY(m_boxes.boxes.isEmpty()); // not before the window is up behind it
        QTRY_COMPARE_WITH_TIMEOUT(m_boxes.boxes.size(), 1, 5000);
        const RecordingBoxes::Box box = m_boxes.boxes.first();
        QCOMPARE(box.icon, MessageBoxes::Icon::Warning);
        QCOMPARE(box.title, QStringLiteral("Vimbrel"));
        QCOMPARE(box.text, QStringLiteral("Cannot open %1: The folder does not exist.")
                               .arg(QDir::toNativeSeparators(folder("gone"))));
        QTest::qWait(50);
        QCOMPARE(m_boxes.boxes.size(), 1); // said once
    }

    void drivesRememberTheirFolder()
    {
        auto window = makeWindow({QStringLiteral("/"), folder("driveB")});
        window->Form_Load();
        const Form1Controls &c = window->controls();
        QVERIFY(c.Dir1->setPath(folder("other")));
        QSignalSpy listingStarted(window.get(), &Form1::listingStarted);

        QVERIFY(c.Drive1->setDrive(folder("driveB")));
        QCOMPARE(c.Dir1->path(), folder("driveB")); // at first, the drive's root
        QVERIFY(c.Dir1->setPath(folder("driveB/pics")));
        QVERIFY(c.Drive1->setDrive(QStringLiteral("/")));
        QCOMPARE(c.Dir1->path(), folder("other"));
        QVERIFY(c.Drive1->setDrive(folder("driveB/more"))); // any path on the drive selects it
        QCOMPARE(c.Dir1->path(), folder("driveB/pics"));
        QCOMPARE(started(listingStarted),
                 QStringList({folder("driveB"), folder("driveB/pics"), folder("other"), folder("driveB/pics")}));
        QCOMPARE(m_settings->path(), QString()); // moving about saves nothing
    }

    void openingAnAncestorOnAnotherDriveFollowsIt()
    {
        auto window = makeWindow({QStringLiteral("/"), folder("driveB")});
        window->Form_Load(folder("driveB/pics"));
        const Form1Controls &c = window->controls();
        QCOMPARE(c.Drive1->drive(), folder("driveB"));
        QVERIFY(c.Dir1->setPath(m_dir->path()));
        QCOMPARE(c.Drive1->drive(), QStringLiteral("/"));
    }

    void unreadableDriveIsNamedAndLeft()
    {
        const QString missing = folder("unplugged");
        auto window = makeWindow({QStringLiteral("/"), missing});
        window->Form_Load(folder("other"));
        const Form1Controls &c = window->controls();
        QSignalSpy listingStarted(window.get(), &Form1::listingStarted);

        c.Drive1->setCurrentIndex(c.Drive1->findData(missing)); // as a person picks it
        QCOMPARE(m_boxes.boxes.size(), 1);
        const RecordingBoxes::Box box = m_boxes.boxes.first();
        QVERIFY2(box.text.contains(QDir::toNativeSeparators(missing)), qPrintable(box.text));
        QVERIFY2(box.text.contains(QStringLiteral("does not exist")), qPrintable(box.text));
        QCOMPARE(c.Drive1->drive(), QStringLiteral("/"));
        QCOMPARE(c.Dir1->path(), folder("other"));
        QCOMPARE(listingStarted.size(), 0);
    }

    void assigningTheShownDriveChangesNothing()
    {
        auto window = makeWindow({QStringLiteral("/"), folder("driveB")});
        window->Form_Load(folder("other"));
        QSignalSpy driveChanged(window->controls().Drive1, &DriveList::driveChanged);
        QSignalSpy listingStarted(window.get(), &Form1::listingStarted);
        QVERIFY(window->controls().Drive1->setDrive(folder("current")));
        QCOMPARE(driveChanged.size(), 0); // already the drive shown
        QCOMPARE(listingStarted.size(), 0);
    }
};

QTEST_MAIN(Form1StartupTest)
#include "tst_form1startup.moc"
