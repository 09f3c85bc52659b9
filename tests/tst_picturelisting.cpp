// The folder listing in the window: the list, its lengths, the two counts.
#include "app/PictureListing.h"
#include "support/TestPictures.h"

#include <QDir>
#include <QLabel>
#include <QListWidget>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

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
    QListWidget *m_list1 = new QListWidget(&m_window);
    QLabel *m_label1 = new QLabel(&m_window);
    QLabel *m_label2 = new QLabel(&m_window);
    PictureListing m_listing{m_list1, m_label1, m_label2, nullptr};

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
        QCOMPARE(m_list1->count(), pictures);
        QCOMPARE(m_label1->text(), QStringLiteral("Number of pictures: %1").arg(pictures));
        QCOMPARE(m_label2->text(), pages);
        QVERIFY(m_label2->width() >= m_label2->sizeHint().width());
    }

    void entriesCarryTheirLength()
    {
        const QString folder = m_dir.filePath(QStringLiteral("lengths"));
        QVERIFY(writePictures(folder, 3));
        QVERIFY(listAndWait(folder));
        QCOMPARE(m_list1->count(), 3);
        for (int row = 0; row < 3; ++row) {
            const QListWidgetItem *item = m_list1->item(row);
            QCOMPARE(item->text(), QStringLiteral("pic%1.gif").arg(row + 1, 3, 10, QLatin1Char('0')));
            QCOMPARE(item->data(PictureListing::lengthRole).toLongLong(),
                     QFileInfo(QDir(folder).filePath(item->text())).size());
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
        QCOMPARE(m_list1->count(), 0);
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
        for (int row = 0; row < m_list1->count(); ++row)
            names.append(m_list1->item(row)->text());
        QCOMPARE(names, QStringList({"pic001.gif", "pic002.gif", "SHOUT.JPG"}));
    }

    void unreadableFolderListsNothing()
    {
        QVERIFY(listAndWait(m_dir.filePath(QStringLiteral("count21"))));
        QVERIFY(listAndWait(m_dir.filePath(QStringLiteral("no-such-folder"))));
        QCOMPARE(m_list1->count(), 0);
        QCOMPARE(m_label1->text(), QStringLiteral("Number of pictures: 0"));
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
        QCOMPARE(m_list1->count(), 0); // emptied at once, before any read ends
        QVERIFY(listed.wait(10000));
        QTest::qWait(200); // room for a stale result to arrive, if one could
        QCOMPARE(listed.size(), 1);
        QCOMPARE(listed.first().first().toString(), small);
        QCOMPARE(started.size(), 2);
        QCOMPARE(m_list1->count(), 4);
        QCOMPARE(m_label1->text(), QStringLiteral("Number of pictures: 4"));
        QCOMPARE(m_listing.folder(), small);
    }

    void emptyingTheListSelectsNothing()
    {
        const QString folder = m_dir.filePath(QStringLiteral("count9"));
        QVERIFY(listAndWait(folder));
        m_list1->setCurrentRow(3);
        QSignalSpy selection(m_list1, &QListWidget::itemSelectionChanged);
        QVERIFY(listAndWait(folder));
        QCOMPARE(selection.size(), 0);
        QCOMPARE(m_list1->currentRow(), -1);
    }
};

QTEST_MAIN(PictureListingTest)
#include "tst_picturelisting.moc"
