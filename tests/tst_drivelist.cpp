// Drive1 and the rule for which mounted filesystems are drives.
#include "window/DriveList.h"
#include "window/DriveRoots.h"

#include <QSignalSpy>
#include <QTest>

class DriveListTest : public QObject
{
    Q_OBJECT

private slots:
    void whichFilesystemsAreDrives_data()
    {
        QTest::addColumn<QString>("root");
        QTest::addColumn<QByteArray>("type");
        QTest::addColumn<bool>("drive");
        QTest::newRow("root, even on overlay") << "/" << QByteArray("overlay") << true;
        QTest::newRow("usb stick") << "/media/ann/STICK" << QByteArray("vfat") << true;
        QTest::newRow("udisks") << "/run/media/ann/DISK" << QByteArray("ext4") << true;
        QTest::newRow("mnt disk") << "/mnt/data" << QByteArray("ext4") << true;
        QTest::newRow("home partition") << "/home" << QByteArray("ext4") << true;
        QTest::newRow("windows letter") << "C:/" << QByteArray("NTFS") << true;
        QTest::newRow("proc") << "/proc" << QByteArray("proc") << false;
        QTest::newRow("sysfs") << "/sys" << QByteArray("sysfs") << false;
        QTest::newRow("cgroup") << "/sys/fs/cgroup/cpu" << QByteArray("cgroup") << false;
        QTest::newRow("tmpfs under mnt") << "/mnt/ram" << QByteArray("tmpfs") << false;
        QTest::newRow("run tmpfs") << "/run" << QByteArray("tmpfs") << false;
        QTest::newRow("dev") << "/dev" << QByteArray("devtmpfs") << false;
        QTest::newRow("boot") << "/boot" << QByteArray("ext4") << false;
        QTest::newRow("snap") << "/snap/core/1" << QByteArray("squashfs") << false;
        QTest::newRow("gvfs") << "/run/user/1000/gvfs" << QByteArray("fuse.gvfsd-fuse") << false;
        QTest::newRow("near miss") << "/mediaX/disk" << QByteArray("ext4") << false;
    }

    void whichFilesystemsAreDrives()
    {
        QFETCH(QString, root);
        QFETCH(QByteArray, type);
        QFETCH(bool, drive);
        QCOMPARE(DriveRoots::isUserDrive(root, type), drive);
    }

    void mountedDrivesHoldTheRoot()
    {
        const QStringList drives = DriveRoots::mountedDrives();
        QVERIFY(!drives.isEmpty());
        QVERIFY(!DriveRoots::driveHolding(drives, QDir::currentPath()).isEmpty());
    }

    void longestRootHoldsAPath_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("drive");
        QTest::newRow("root itself") << "/" << "/";
        QTest::newRow("elsewhere") << "/usr/share" << "/";
        QTest::newRow("mounted disk") << "/media/usb" << "/media/usb";
        QTest::newRow("inside it") << "/media/usb/photos/2001" << "/media/usb";
        QTest::newRow("name that only starts alike") << "/media/usb2/x" << "/";
        QTest::newRow("letter in other case") << "c:/Photos" << "C:/";
    }

    void longestRootHoldsAPath()
    {
        QFETCH(QString, path);
        QFETCH(QString, drive);
        const QStringList roots = {"/", "/media/usb", "C:/"};
        QCOMPARE(DriveRoots::driveHolding(roots, path), drive);
    }

    void changeIsToldOnlyOnChange()
    {
        DriveList drive1(nullptr);
        drive1.setDrives({"/", "/media/usb"});
        QCOMPARE(drive1.drive(), QStringLiteral("/"));
        QSignalSpy changed(&drive1, &DriveList::driveChanged);
        QVERIFY(drive1.setDrive("/etc"));
        QCOMPARE(changed.size(), 0);
        QVERIFY(drive1.setDrive("/media/usb/photos"));
        QCOMPARE(drive1.drive(), QStringLiteral("/media/usb"));
        QCOMPARE(changed.size(), 1);
        drive1.followFolder("/etc");
        QCOMPARE(drive1.drive(), QStringLiteral("/"));
        QCOMPARE(changed.size(), 1);
    }

    void revertGoesBackQuietly()
    {
        DriveList drive1(nullptr);
        drive1.setDrives({"/", "/media/usb"});
        QSignalSpy changed(&drive1, &DriveList::driveChanged);
        drive1.setCurrentIndex(1);
        QCOMPARE(changed.size(), 1);
        drive1.revert();
        QCOMPARE(drive1.drive(), QStringLiteral("/"));
        QCOMPARE(changed.size(), 1);
    }

    void eachDriveRemembersItsFolder()
    {
        DriveList drive1(nullptr);
        drive1.setDrives({"/", "/media/usb"});
        QCOMPARE(drive1.currentFolder("/media/usb"), QStringLiteral("/media/usb"));
        drive1.rememberFolder("/media/usb/photos");
        drive1.rememberFolder("/home/ann");
        QCOMPARE(drive1.currentFolder("/media/usb"), QStringLiteral("/media/usb/photos"));
        QCOMPARE(drive1.currentFolder("/"), QStringLiteral("/home/ann"));
    }
};

QTEST_MAIN(DriveListTest)
#include "tst_drivelist.moc"
