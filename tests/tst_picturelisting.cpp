// The folder listing in the window: the list, its lengths, the two counts.
#include "support/TestPictures.h"
#include "system/NativeName.h"
#include "window/PictureListing.h"

#include <QDir>
#include <QFile>
#include <QHelpEvent>
#include <QLabel>
#include <QItemSelectionModel>
#include <QListView>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTextDocument>
#include <QToolTip>
#include <QTest>
#include <QThreadPool>

#include <algorithm>

namespace {

// Writes count GIFs named pic001.gif, ... into folder, each a different length.
bool writePictures(const QString &folder, int count)
{
    QDir().mkpath(folder);
    for (int i = 1; i <= count; ++i) {
        const QString name = QStringLiteral("pic%1.gif").arg(i, 3, 10, QLatin1Char('0'));
        if (!TestPictures::writeFile(QDir(folder).filePath(name), TestPictures::gif(i, 2)))
            return false;
    }
    return true;
}

} // namespace

class PictureListingTest : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    QWidget m_window;
    QListView *m_list1 = new QListView(&m_window);
    QLabel *m_label1 = new QLabel(&m_window);
    QLabel *m_label2 = new QLabel(&m_window);
    PictureListing m_listing{m_list1, m_label1, m_label2, nullptr};

    int rows() const { return m_list1->model()->rowCount(); }
    QString name(int row) const { return m_list1->model()->index(row, 0).data().toString(); }

    bool listAndWait(const QString &folder)
    {
        QSignalSpy listed(&m_listing, &PictureListing::listed);
        m_listing.ListGiff(folder);
        return listed.wait(10000) && listed.first().first().toString() == folder;
    }

private slots:
    void initTestCase() { QVERIFY(m_dir.isValid()); }

    void counts_data()
    {
        QTest::addColumn<int>("pictures");
        QTest::addColumn<QString>("pages");
        QTest::newRow("0") << 0 << "Number of HTML pages: 0";
        QTest::newRow("1") << 1 << "Number of HTML pages: 1";
        QTest::newRow("9") << 9 << "Number of HTML pages: 1";
        QTest::newRow("10") << 10 << "Number of HTML pages: 1";
        QTest::newRow("11") << 11 << "Number of HTML pages: 2";
        QTest::newRow("20") << 20 << "Number of HTML pages: 2";
        QTest::newRow("21") << 21 << "Number of HTML pages: 3";
    }

    void counts()
    {
        QFETCH(int, pictures);
        QFETCH(QString, pages);
        const QString folder = m_dir.filePath(QStringLiteral("count%1").arg(pictures));
        QVERIFY(writePictures(folder, pictures));
        QVERIFY(listAndWait(folder));
        QCOMPARE(rows(), pictures);
        QCOMPARE(m_label1->text(), QStringLiteral("Number of pictures: %1").arg(pictures));
        QCOMPARE(m_label2->text(), pages);
        QVERIFY(m_label2->width() >= m_label2->sizeHint().width());
    }

    void entriesCarryTheirLength()
    {
        const QString folder = m_dir.filePath(QStringLiteral("lengths"));
        QVERIFY(writePictures(folder, 3));
        QVERIFY(listAndWait(folder));
        QCOMPARE(rows(), 3);
        for (int row = 0; row < 3; ++row) {
            const QModelIndex entry = m_list1->model()->index(row, 0);
            QCOMPARE(entry.data().toString(), QStringLiteral("pic%1.gif").arg(row + 1, 3, 10, QLatin1Char('0')));
            QCOMPARE(entry.data(PictureListing::lengthRole).toLongLong(),
                     QFileInfo(QDir(folder).filePath(entry.data().toString())).size());
        }
    }

    void fromTwentyFiveToNone()
    {
        const QString full = m_dir.filePath(QStringLiteral("full"));
        const QString empty = m_dir.filePath(QStringLiteral("empty"));
        QVERIFY(writePictures(full, 25));
        QVERIFY(QDir().mkpath(empty));
        QVERIFY(listAndWait(full));
        QCOMPARE(m_label2->text(), QStringLiteral("Number of HTML pages: 3"));
        QVERIFY(listAndWait(empty));
        QCOMPARE(rows(), 0);
        QCOMPARE(m_label1->text(), QStringLiteral("Number of pictures: 0"));
        QCOMPARE(m_label2->text(), QStringLiteral("Number of HTML pages: 0"));
    }

    void onlyCandidateFilesAreListed()
    {
        const QString folder = m_dir.filePath(QStringLiteral("mixed"));
        QVERIFY(writePictures(folder, 2));
        QVERIFY(QDir(folder).mkdir(QStringLiteral("old.gif")));
        QVERIFY(TestPictures::writeFile(QDir(folder).filePath(QStringLiteral("photo.jpeg")), "x"));
        QVERIFY(TestPictures::writeFile(QDir(folder).filePath(QStringLiteral("SHOUT.JPG")), "x"));
        QVERIFY(listAndWait(folder));
        QStringList names;
        for (int row = 0; row < rows(); ++row)
            names.append(name(row));
        QCOMPARE(names, QStringList({"pic001.gif", "pic002.gif", "SHOUT.JPG"}));
    }

    // With the gallery chosen the list holds the phone photos the album
    // converts; back to the classic pages, it holds what those list.
    void theGalleryListsPhonePhotosToo()
    {
        const QString folder = m_dir.filePath(QStringLiteral("phone"));
        QVERIFY(writePictures(folder, 1));
        for (const char *name : {"IMG_1.HEIC", "b.heif", "c.hif", "d.Avif", "e.heic.txt", ".heic"})
            QVERIFY(TestPictures::writeFile(QDir(folder).filePath(QString::fromLatin1(name)), "x"));
        QVERIFY(listAndWait(folder));
        QCOMPARE(rows(), 1);
        QSignalSpy listed(&m_listing, &PictureListing::listed);
        m_listing.setCandidates(Candidates::Album);
        QVERIFY(listed.wait(10000));
        QCOMPARE(rows(), 5);
        QCOMPARE(m_label1->text(), QStringLiteral("Number of pictures: 5"));
        m_listing.setCandidates(Candidates::Album); // no change: no listing
        QVERIFY(!listed.wait(300));
        m_listing.setCandidates(Candidates::Classic);
        QVERIFY(listed.wait(10000));
        QCOMPARE(rows(), 1);
    }

    void unreadableFolderIsSaidSo_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("isFile");
        QTest::addColumn<QString>("reason");
        QTest::newRow("missing") << "no-such-folder" << false << "The folder does not exist.";
        QTest::newRow("a file") << "file.gif" << true << "It is not a folder.";
        QTest::newRow("control in name") << "gone\nline" << false << "The folder does not exist.";
    }

    // An unreadable folder must not pass for an empty one: the count says why instead.
    void unreadableFolderIsSaidSo()
    {
        QFETCH(QString, name);
        QFETCH(bool, isFile);
        QFETCH(QString, reason);
        const QString folder = m_dir.filePath(name);
        if (isFile)
            QVERIFY(TestPictures::writeFile(folder, "x"));
        QVERIFY(listAndWait(m_dir.filePath(QStringLiteral("count21"))));
        QVERIFY(listAndWait(folder));
        QCOMPARE(rows(), 0);
        QCOMPARE(m_label1->text(),
                 NativeName::printable(QStringLiteral("Cannot read %1: %2").arg(QDir::toNativeSeparators(folder), reason)));
        QVERIFY(!m_label1->text().contains(QLatin1Char('\n')));
        QCOMPARE(m_label2->text(), QString());
        QVERIFY(m_label1->width() >= m_label1->sizeHint().width());
    }

    void folderWithoutPermissionIsSaidSo()
    {
        const QString folder = m_dir.filePath(QStringLiteral("locked"));
        QVERIFY(writePictures(folder, 2));
        QVERIFY(QFile::setPermissions(folder, {}));
        const auto restore = qScopeGuard([&] { QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner); });
        if (QDir(folder).isReadable())
            QSKIP("permission bits are not enforced for this user (root)");
        QVERIFY(listAndWait(folder));
        QCOMPARE(rows(), 0);
        QCOMPARE(m_label1->text(), QStringLiteral("Cannot read %1: Permission denied: the folder cannot be read.")
                                       .arg(QDir::toNativeSeparators(folder)));
        QCOMPARE(m_label2->text(), QString());
    }

    // A folder removed after it was chosen: the next listing says it is gone.
    void removedFolderIsSaidSo()
    {
        const QString folder = m_dir.filePath(QStringLiteral("removed"));
        QVERIFY(writePictures(folder, 3));
        QVERIFY(listAndWait(folder));
        QCOMPARE(rows(), 3);
        QVERIFY(QDir(folder).removeRecursively());
        QVERIFY(listAndWait(folder));
        QCOMPARE(rows(), 0);
        QVERIFY2(m_label1->text().startsWith(QStringLiteral("Cannot read ") + QDir::toNativeSeparators(folder)),
                 qPrintable(m_label1->text()));
        QVERIFY(m_label1->text().contains(QStringLiteral("does not exist")));
    }

    // A large folder counts up as it fills: each count is shown with as many rows listed.
    void countsUpWhileFilling()
    {
        const int files = 3 * int(listingBatchSize) / 2;
        const QString folder = m_dir.filePath(QStringLiteral("many"));
        QVERIFY(QDir().mkpath(folder));
        for (int i = 0; i < files; ++i)
            QVERIFY(TestPictures::writeFile(QDir(folder).filePath(QStringLiteral("p%1.jpg").arg(i, 5, 10, QLatin1Char('0'))), "x"));

        QList<qint64> counts;
        QStringList captions;
        QList<int> rowsAtCount;
        const QMetaObject::Connection recorder = connect(&m_listing, &PictureListing::counted, this, [&](qint64 count) {
            counts.append(count);
            captions.append(m_label1->text());
            rowsAtCount.append(rows());
        });
        const auto stopRecording = qScopeGuard([&] { QObject::disconnect(recorder); });
        QVERIFY(listAndWait(folder));

        QVERIFY(!counts.isEmpty());
        QCOMPARE(counts.last(), files);
        QVERIFY2(std::any_of(counts.cbegin(), counts.cend(), [&](qint64 count) { return count > 0 && count < files; }),
                 "the count jumped from 0 to the total");
        QVERIFY(std::is_sorted(counts.cbegin(), counts.cend()));
        for (qsizetype i = 0; i < counts.size(); ++i) {
            QCOMPARE(captions.at(i), PictureListing::picturesCaption(counts.at(i)));
            QCOMPARE(rowsAtCount.at(i), counts.at(i));
        }
        QCOMPARE(m_label1->text(), PictureListing::picturesCaption(files));
        QCOMPARE(m_label2->text(), PictureListing::pagesCaption(files));
        QCOMPARE(name(files - 1), QStringLiteral("p%1.jpg").arg(files - 1, 5, 10, QLatin1Char('0')));
    }

    // The list must show the folder asked for last, whatever order the reads end in.
    void newerListingSupersedesOlder()
    {
        const QString big = m_dir.filePath(QStringLiteral("big"));
        const QString small = m_dir.filePath(QStringLiteral("small"));
        QVERIFY(writePictures(big, 600));
        QVERIFY(writePictures(small, 4));

        QSignalSpy listed(&m_listing, &PictureListing::listed);
        QSignalSpy started(&m_listing, &PictureListing::started);
        m_listing.ListGiff(big);
        m_listing.ListGiff(small);
        QCOMPARE(rows(), 0); // emptied at once, before any read ends
        QVERIFY(listed.wait(10000));
        QThreadPool::globalInstance()->waitForDone(); // every read has ended:
        QCoreApplication::processEvents();            // a stale result would be delivered now
        QCOMPARE(listed.size(), 1);
        QCOMPARE(listed.first().first().toString(), small);
        QCOMPARE(started.size(), 2);
        QCOMPARE(rows(), 4);
        QCOMPARE(m_label1->text(), QStringLiteral("Number of pictures: 4"));
        QCOMPARE(m_listing.folder(), small);
    }

    void emptyingTheListSelectsNothing()
    {
        const QString folder = m_dir.filePath(QStringLiteral("count9"));
        QVERIFY(listAndWait(folder));
        m_list1->setCurrentIndex(m_list1->model()->index(3, 0));
        QCOMPARE(m_list1->selectionModel()->selectedRows().size(), 1);
        QSignalSpy selection(m_list1->selectionModel(), &QItemSelectionModel::selectionChanged);
        QSignalSpy current(m_list1->selectionModel(), &QItemSelectionModel::currentChanged);
        QVERIFY(listAndWait(folder));
        QCOMPARE(selection.size(), 0);
        QCOMPARE(current.size(), 0);
        QCOMPARE(m_list1->currentIndex().row(), -1);
        QVERIFY(m_list1->selectionModel()->selectedRows().isEmpty());
    }

    // The keyboard moves through the list as through any list: down, down, end, home.
    void keyboardMovesTheCurrentRow()
    {
        QVERIFY(listAndWait(m_dir.filePath(QStringLiteral("count9"))));
        m_window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&m_window));
        m_list1->setFocus();
        m_list1->setCurrentIndex(m_list1->model()->index(0, 0));
        QTest::keyClick(m_list1, Qt::Key_Down);
        QTest::keyClick(m_list1, Qt::Key_Down);
        QCOMPARE(m_list1->currentIndex().row(), 2);
        QCOMPARE(m_list1->selectionModel()->selectedRows().value(0).row(), 2);
        QTest::keyClick(m_list1, Qt::Key_End);
        QCOMPARE(m_list1->currentIndex().row(), 8);
        QTest::keyClick(m_list1, Qt::Key_Home);
        QCOMPARE(m_list1->currentIndex().data().toString(), QStringLiteral("pic001.gif"));
    }

    void hoveringANameShowsItWhole_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("tip");
        const QString longName = QString(200, QLatin1Char('n')) + QStringLiteral("-end.gif");
        QTest::newRow("longer than the list is wide") << longName << longName;
        QTest::newRow("looks like markup") << "<b>bold.gif" << "<b>bold.gif";
        QTest::newRow("line break") << "two\nlines.gif" << "two\\nlines.gif";
    }

    void hoveringANameShowsItWhole()
    {
        QFETCH(QString, name);
        QFETCH(QString, tip);
        const QString folder = m_dir.filePath(QStringLiteral("tip%1").arg(QTest::currentDataTag()).simplified());
        QVERIFY(QDir().mkpath(folder));
        QVERIFY(TestPictures::writeFile(QDir(folder).filePath(name), TestPictures::gif(2, 2)));
        QVERIFY(listAndWait(folder));
        m_window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&m_window));
        const QPoint at = m_list1->visualRect(m_list1->model()->index(0, 0)).center();
        QHelpEvent hover(QEvent::ToolTip, at, m_list1->viewport()->mapToGlobal(at));
        QCoreApplication::sendEvent(m_list1->viewport(), &hover);
        QTextDocument shown; // the tool tip as rendered
        shown.setHtml(QToolTip::text());
        QCOMPARE(shown.toPlainText(), tip);
        QToolTip::hideText();
    }
};

QTEST_MAIN(PictureListingTest)
#include "tst_picturelisting.moc"
