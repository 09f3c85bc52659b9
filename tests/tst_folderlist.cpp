// Dir1: what its Path promises, and how a person opens a folder in it.
#include "system/NativeName.h"
#include "window/FolderList.h"

#include <QDir>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QThreadPool>

#if defined(Q_OS_UNIX)
#include <sys/stat.h>
#endif

class FolderListTest : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    QString folder(const QString &name) const { return m_dir.filePath(name); }

    static QStringList captions(const QTreeWidgetItem *parent)
    {
        QStringList texts;
        for (int i = 0; i < parent->childCount(); ++i)
            texts.append(parent->child(i)->text(0));
        return texts;
    }

    // Shows folder and waits for its sub-folders, listed on a worker thread.
    static bool showListed(FolderList &dir1, const QString &folder)
    {
        QSignalSpy listed(&dir1, &FolderList::subFoldersListed);
        return dir1.setPath(folder) && listed.wait(20000);
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        for (const char *name : {"top/Beta", "top/alpha", "top/gamma/deep", "top/.hidden"})
            QVERIFY(QDir().mkpath(folder(QLatin1String(name))));
        QFile file(folder(QStringLiteral("top/file.gif")));
        QVERIFY(file.open(QIODevice::WriteOnly));
    }

    void pathIsNormalised_data()
    {
        QTest::addColumn<QString>("assigned");
        QTest::addColumn<QString>("path");
        QTest::newRow("plain") << folder("top") << folder("top");
        QTest::newRow("trailing separator") << folder("top") + "/" << folder("top");
        QTest::newRow("dots") << folder("top/alpha/../gamma/.") << folder("top/gamma");
        QTest::newRow("root keeps its separator") << "/" << "/";
    }

    void pathIsNormalised()
    {
        QFETCH(QString, assigned);
        QFETCH(QString, path);
        FolderList dir1(nullptr);
        QVERIFY(dir1.setPath(assigned));
        QCOMPARE(dir1.path(), path);
    }

    void failedAssignmentChangesNothing_data()
    {
        QTest::addColumn<QString>("assigned");
        QTest::addColumn<QString>("reason");
        QTest::newRow("missing") << folder("top/missing") << "does not exist";
        QTest::newRow("a file") << folder("top/file.gif") << "not a folder";
        QTest::newRow("empty") << "" << "No folder";
    }

    void failedAssignmentChangesNothing()
    {
        QFETCH(QString, assigned);
        QFETCH(QString, reason);
        FolderList dir1(nullptr);
        QVERIFY(dir1.setPath(folder("top")));
        const int items = dir1.topLevelItemCount();
        QSignalSpy changed(&dir1, &FolderList::pathChanged);
        QString why;
        QVERIFY(!dir1.setPath(assigned, &why));
        QVERIFY2(why.contains(reason), qPrintable(why));
        QCOMPARE(dir1.path(), folder("top"));
        QCOMPARE(dir1.topLevelItemCount(), items);
        QCOMPARE(changed.size(), 0);
    }

    void changeIsToldOnlyOnChange()
    {
        FolderList dir1(nullptr);
        QSignalSpy changed(&dir1, &FolderList::pathChanged);
        QVERIFY(dir1.setPath(folder("top")));
        QVERIFY(dir1.setPath(folder("top/")));
        QVERIFY(dir1.setPath(folder("top/alpha")));
        QCOMPARE(changed.size(), 2);
    }

    void showsAncestorsThenSubFolders()
    {
        FolderList dir1(nullptr);
        QVERIFY(showListed(dir1, folder("top")));
        QCOMPARE(dir1.topLevelItemCount(), 1);
        QCOMPARE(dir1.topLevelItem(0)->text(0), QDir::toNativeSeparators(QDir::rootPath()));
        const QTreeWidgetItem *current = dir1.currentItem();
        QVERIFY(current);
        QCOMPARE(current->text(0), QStringLiteral("top"));
        QCOMPARE(captions(current), QStringList({"alpha", "Beta", "gamma"})); // no files, no hidden ones
        int depth = 0;
        for (const QTreeWidgetItem *item = current; item->parent(); item = item->parent())
            ++depth;
        QCOMPARE(depth, QDir::cleanPath(folder("top")).count(QLatin1Char('/')));
    }

    void enterOpensTheCurrentEntry()
    {
        FolderList dir1(nullptr);
        dir1.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dir1));
        QVERIFY(showListed(dir1, folder("top")));
        dir1.setCurrentItem(dir1.currentItem()->child(2)); // gamma
        QSignalSpy changed(&dir1, &FolderList::pathChanged);
        QSignalSpy listed(&dir1, &FolderList::subFoldersListed);
        QTest::keyClick(&dir1, Qt::Key_Return);
        QCOMPARE(changed.size(), 1);
        QCOMPARE(dir1.path(), folder("top/gamma"));
        QVERIFY(listed.wait(20000));
        QCOMPARE(captions(dir1.currentItem()), QStringList{"deep"});
    }

    // A sub-folder whose name is not valid UTF-8 is listed under its
    // escaped bytes and opens as itself; a link to a folder is a folder.
    void oddSubFoldersOpen()
    {
#if defined(Q_OS_UNIX)
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QByteArray odd = QFile::encodeName(dir.path()) + "/odd\xff";
        QCOMPARE(::mkdir(odd.constData(), 0755), 0);
        QCOMPARE(::mkdir((odd + "/inner").constData(), 0755), 0);
        QVERIFY(QFile::link(folder("top"), dir.filePath("linked")));
        FolderList dir1(nullptr);
        dir1.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dir1));
        QVERIFY(showListed(dir1, dir.path()));
        QCOMPARE(captions(dir1.currentItem()), QStringList({"linked", "odd\\xff"}));
        dir1.setCurrentItem(dir1.currentItem()->child(1));
        QSignalSpy listed(&dir1, &FolderList::subFoldersListed);
        QTest::keyClick(&dir1, Qt::Key_Return);
        QCOMPARE(NativeName::encode(dir1.path()), odd);
        QCOMPARE(dir1.currentItem()->text(0), "odd\\xff"); // opened, it is named as it was listed
        QVERIFY(listed.wait(20000));
        QCOMPARE(captions(dir1.currentItem()), QStringList{"inner"});
#else
        QSKIP("Names that are not valid text are a Unix matter.");
#endif
    }

    void doubleClickOpensAnAncestor()
    {
        FolderList dir1(nullptr);
        dir1.resize(200, 400);
        dir1.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dir1));
        QVERIFY(showListed(dir1, folder("top/gamma/deep")));
        QTreeWidgetItem *top = dir1.currentItem()->parent()->parent();
        dir1.scrollToItem(top);
        QTRY_VERIFY(!dir1.visualItemRect(top).isEmpty()); // items are laid out later
        const QPoint centre = dir1.visualItemRect(top).center();
        QTest::mouseClick(dir1.viewport(), Qt::LeftButton, {}, centre);
        QCOMPARE(dir1.path(), folder("top/gamma/deep")); // one click only selects
        QTest::mouseDClick(dir1.viewport(), Qt::LeftButton, {}, centre);
        QCOMPARE(dir1.path(), folder("top"));
    }

    // The older listing, of many sub-folders, is the slower: were its result
    // taken, it would come last and replace the newer one.
    void newerRequestWins_data()
    {
        QTest::addColumn<QString>("older");
        QTest::addColumn<QString>("newer");
        QTest::addColumn<int>("subFolders");
        QTest::newRow("slow then quick") << "many" << "top" << 3;
        QTest::newRow("quick then slow") << "top" << "many" << 2000;
    }

    void newerRequestWins()
    {
        QFETCH(QString, older);
        QFETCH(QString, newer);
        QFETCH(int, subFolders);
        if (!QFileInfo::exists(folder("many/f1999"))) {
            for (int i = 0; i < 2000; ++i)
                QVERIFY(QDir().mkpath(folder(QStringLiteral("many/f%1").arg(i, 4, 10, QLatin1Char('0')))));
        }
        FolderList dir1(nullptr);
        QSignalSpy listed(&dir1, &FolderList::subFoldersListed);
        QVERIFY(dir1.setPath(folder(older)));
        QVERIFY(dir1.setPath(folder(newer)));
        QVERIFY(listed.wait(20000));
        // Every listing has ended and told what it found.
        QThreadPool::globalInstance()->waitForDone();
        QCoreApplication::processEvents();
        QCOMPARE(listed.size(), 1);
        QCOMPARE(dir1.path(), folder(newer));
        QCOMPARE(dir1.currentItem()->childCount(), subFolders);
        QCOMPARE(dir1.currentItem()->text(0), newer);
    }

    void openingAVanishedFolderIsReported()
    {
        QVERIFY(QDir().mkpath(folder("brief/soon-gone")));
        FolderList dir1(nullptr);
        dir1.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dir1));
        QVERIFY(showListed(dir1, folder("brief")));
        QVERIFY(QDir(folder("brief/soon-gone")).removeRecursively());
        dir1.setCurrentItem(dir1.currentItem()->child(0));
        QSignalSpy failed(&dir1, &FolderList::openFailed);
        QTest::keyClick(&dir1, Qt::Key_Return);
        QCOMPARE(failed.size(), 1);
        const QString message = failed.first().first().toString();
        QVERIFY2(message.contains(QStringLiteral("soon-gone")) && message.contains(QStringLiteral("does not exist")),
                 qPrintable(message));
        QCOMPARE(dir1.path(), folder("brief"));
    }
};

QTEST_MAIN(FolderListTest)
#include "tst_folderlist.moc"
