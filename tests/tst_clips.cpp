// Clips in the album, made with ffmpeg from a picture whose quadrants tell
// every turn apart, turned and located with exiftool as phones tag them.
#include "clips/ClipHeader.h"
#include "formats/JpegDecoding.h"
#include "formats/PictureMeasure.h"
#include "generation/GenerationRun.h"
#include "preview/PictureDecoding.h"
#include "support/ClipFiles.h"
#include "support/PageFiles.h"
#include "support/TestPictures.h"

#include <QBuffer>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

using TestPictures::difference;
using TestPictures::quadrants;

namespace {

const QSize frame(320, 180);

QStringList h264() { return {"-c:v", "libx264", "-pix_fmt", "yuv420p", "-c:a", "aac"}; }
QStringList hevc() { return {"-c:v", "libx265", "-tag:v", "hvc1", "-pix_fmt", "yuv420p", "-x265-params", "log-level=error", "-c:a", "aac"}; }
QStringList phoneTags(int rotation)
{
    return {"-Rotation=" + QString::number(rotation), "-GPSCoordinates=48.8584, 2.2945, 30", "-Keys:Make=Acme",
            "-Keys:Model=Pixelphone 7",
            "-QuickTime:CreateDate=2024:05:06 07:08:09"};
}

// What the copy of a clip is, read back with the program's own header reader.
ClipHeader headerOf(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    DeviceBytes bytes(file);
    return readClipHeader(bytes);
}

// A clip's poster or thumbnail against the picture turned as the clip says.
QImage turned(const QImage &picture, int clockwise)
{
    const int orientation[] = {1, 6, 3, 8}; // EXIF's numbers for 0, 90, 180 and 270 degrees clockwise
    return upright(picture, orientation[(clockwise / 90) % 4]);
}

// Stops a run at the first sign that a copy is being made.
class StopAtCopy : public PageFiles::Recorder
{
public:
    void clipProgress(const QString &text) override
    {
        if (!text.isEmpty() && !stop.exchange(true))
            told = text;
    }
    std::atomic<bool> stop{false};
    QString told; // the first progress told
};

} // namespace

class ClipsTest : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<QTemporaryDir> m_temp;
    PageFiles::Recorder m_notices;
    QString path(const QString &name) const { return m_temp->filePath(name); }

    RunOutcome runAlbum(RunNotices *notices = nullptr, const std::atomic<bool> *cancel = nullptr)
    {
        PageOptions options;
        options.style = PageStyle::Gallery;
        m_notices = {};
        return runGeneration(m_temp->path(), notices ? *notices : m_notices, nullptr, cancel, options);
    }

    QString made(const QString &name, const QImage &picture = quadrants(frame), double seconds = 2,
                 const QStringList &args = h264(), const QStringList &tags = {})
    {
        const QString error = ClipFiles::makeClip(path(name), picture, seconds, args, tags);
        return error;
    }

    QStringList albumFiles() const
    {
        QStringList files;
        QDirIterator it(m_temp->filePath("vimbrel"), QDir::Files, QDirIterator::Subdirectories);
        while (it.hasNext())
            files.append(it.next().mid(m_temp->path().size() + 1));
        files.sort();
        return files;
    }

private slots:
    void init()
    {
        m_temp = std::make_unique<QTemporaryDir>();
        QVERIFY(m_temp->isValid());
    }

    void cleanup() { m_temp.reset(); }

    // Each kind of clip plays from its copy, upright, its poster the turned
    // picture; a copy put as it is keeps its codec, a made one is H.264.
    void clipsPlayUprightFromTheirCopy_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("rotation");
        QTest::addColumn<QString>("copy");
        QTest::addColumn<int>("kind");
        QTest::newRow("H.264 and AAC in MP4") << "plain.mp4" << h264() << 0 << "mp4" << int(ClipCopy::Mp4AsIs);
        QTest::newRow("H.264 turned a quarter") << "portrait.mp4" << h264() << 90 << "mp4" << int(ClipCopy::Mp4AsIs);
        QTest::newRow("H.264 upside down, upper case") << "DOWN.MOV" << h264() << 180 << "mp4" << int(ClipCopy::Mp4AsIs);
        QTest::newRow("H.264 with PCM sound") << "pcm.mov" << QStringList{"-c:v", "libx264", "-pix_fmt", "yuv420p", "-c:a", "pcm_s16le"}
                                              << 0 << "mp4" << int(ClipCopy::Mp4Sound);
        QTest::newRow("H.264 at 4:2:2 is made anew") << "high422.mp4" << QStringList{"-c:v", "libx264", "-pix_fmt", "yuv422p", "-c:a", "aac"}
                                                     << 0 << "mp4" << int(ClipCopy::Mp4Made);
        QTest::newRow("HEVC, as iPhones shoot") << "iphone.mov" << hevc() << 0 << "mp4" << int(ClipCopy::Mp4Made);
        QTest::newRow("HEVC turned, made upright") << "turned.mov" << hevc() << 270 << "mp4" << int(ClipCopy::Mp4Made);
        QTest::newRow("VP9 and Opus in WebM") << "web.webm" << QStringList{"-c:v", "libvpx-vp9", "-b:v", "200k", "-c:a", "libopus"}
                                             << 0 << "webm" << int(ClipCopy::WebmAsIs);
        QTest::newRow("MPEG-4 part 2 in Matroska") << "old.mkv" << QStringList{"-c:v", "mpeg4", "-c:a", "mp3"} << 0 << "mp4"
                                                   << int(ClipCopy::Mp4Made);
        QTest::newRow("MJPEG in 3GP's cousin, MOV") << "motion.mov" << QStringList{"-c:v", "mjpeg", "-an"} << 0 << "mp4"
                                                    << int(ClipCopy::Mp4Made);
    }

    void clipsPlayUprightFromTheirCopy()
    {
        QFETCH(QString, name);
        QFETCH(QStringList, args);
        QFETCH(int, rotation);
        QFETCH(QString, copy);
        QFETCH(int, kind);
        const QImage picture = quadrants(frame);
        const QStringList tags = rotation || name == "plain.mp4" ? phoneTags(rotation) : QStringList();
        QCOMPARE(made(name, picture, 2, args, tags), QString());
        QCOMPARE(headerOf(path(name)).copy, ClipCopy(kind));
        QCOMPARE(runAlbum(), RunOutcome::Completed);
        QVERIFY2(m_notices.skipped.isEmpty(), qPrintable(m_notices.skipped.value(0).reason));
        const QImage expected = turned(picture, rotation);
        for (const char *folder : {"web", "large", "small"}) {
            const QImage image(path(QStringLiteral("vimbrel/%1/%2.jpg").arg(folder, name)));
            QCOMPARE(image.width() > image.height(), expected.width() > expected.height());
            QVERIFY2(difference(image, expected) < 40, folder);
        }
        const DecodedPicture preview = decodePicture(path(name));
        QCOMPARE(preview.image.size(), expected.size());
        QVERIFY(difference(preview.image, expected) < 40);
        // The copy: playable as it comes, upright, no place, no phone.
        const QString copied = path("vimbrel/web/" + name + "." + copy);
        const ClipHeader header = headerOf(copied);
        QCOMPARE(header.problem, QString());
        QCOMPARE(header.displayed, expected.size());
        QCOMPARE(header.copy, copy == "webm" ? ClipCopy::WebmAsIs : ClipCopy::Mp4AsIs);
        QVERIFY(header.milliseconds >= 1900 && header.milliseconds <= 2100);
        QVERIFY(!header.facts.taken.isValid());
        const QByteArray bytes = TestPictures::readFile(copied);
        for (const char *secret : {"48.85", "Pixelphone", "Lavf5"})
            QVERIFY2(!bytes.contains(secret), secret);
        if (copy == "mp4") // the index before the pictures: playing starts before the whole clip is fetched
            QVERIFY(bytes.indexOf("moov") < bytes.indexOf("mdat"));
        const QByteArray page = TestPictures::readFile(path("vimbrel/pages/" + name + ".htm"));
        QVERIFY(page.contains("<video controls playsinline preload=\"metadata\" poster=\"../web/"));
        QVERIFY(page.contains("type=\"video/" + copy.toLatin1() + "\""));
        QVERIFY(page.contains("<dt>Length</dt><dd>0:02</dd>"));
        // The original's facts, on its page: the make before a model that does not name it, the date as shot.
        QCOMPARE(page.contains("<dt>Camera</dt><dd>Acme Pixelphone 7</dd>"), !tags.isEmpty());
        QCOMPARE(page.contains("<dt>Taken</dt><dd>6 May 2024, 07:08</dd>"), !tags.isEmpty());
        QVERIFY(TestPictures::readFile(path("index1.htm")).contains("<span class=\"length\">0:02</span>"));
        const QStringList unshown = PageFiles::unshownAlbumFiles(m_temp->path(), path("vimbrel"));
        QVERIFY2(unshown.isEmpty(), qPrintable(unshown.join(" ")));
        QCOMPARE(PageFiles::brokenLinks(m_temp->path(), path("vimbrel/pages/" + name + ".htm")), QStringList());
    }

    // The same name, a still and a clip short enough to be its motion, is
    // one item; a clip one step longer is a clip of its own.
    void aLivePhotoIsOneItem_data()
    {
        QTest::addColumn<double>("seconds");
        QTest::addColumn<bool>("live");
        QTest::newRow("2 s") << 2.0 << true;
        QTest::newRow("3.4 s, just under the most") << 3.4 << true;
        QTest::newRow("3.7 s, just over") << 3.7 << false;
    }

    void aLivePhotoIsOneItem()
    {
        QFETCH(double, seconds);
        QFETCH(bool, live);
        TestPictures::writeFile(path("IMG_0001.JPG"), TestPictures::jpeg(64, 48));
        QCOMPARE(made("img_0001.mov", quadrants(frame), seconds, hevc()), QString());
        QCOMPARE(runAlbum(), RunOutcome::Completed);
        const QByteArray index = TestPictures::readFile(path("index1.htm"));
        QCOMPARE(index.count("<figure"), live ? 1 : 2);
        QCOMPARE(index.contains("<span class=\"live\">LIVE</span>"), live);
        const QByteArray page = TestPictures::readFile(path("vimbrel/pages/IMG_0001.JPG.htm"));
        QCOMPARE(page.contains("<button type=\"button\" id=\"motion\""), live);
        QCOMPARE(page.contains("<video muted playsinline preload=\"none\" hidden"), live);
        QCOMPARE(QFileInfo::exists(path("vimbrel/pages/img_0001.mov.htm")), !live);
        QVERIFY(QFileInfo::exists(path("vimbrel/web/img_0001.mov.mp4")));
        // Nothing made again, nothing removed, on an unchanged re-run.
        const QStringList before = albumFiles();
        const QDateTime copied = QFileInfo(path("vimbrel/web/img_0001.mov.mp4")).lastModified();
        QCOMPARE(runAlbum(), RunOutcome::Completed);
        QCOMPARE(albumFiles(), before);
        QCOMPARE(QFileInfo(path("vimbrel/web/img_0001.mov.mp4")).lastModified(), copied);
    }

    // What a clip cannot be is said, the file named; what is there is made.
    void damagedClipsAreRefusedWithAReason_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("keep"); // bytes kept of an H.264 clip; -1 all, -2 none but junk
        QTest::addColumn<QString>("reason"); // empty: made from what is there
        QTest::newRow("cut before its index") << "cut.mp4" << 20000 << "damaged, cut short";
        QTest::newRow("cut after its index") << "cut.mov" << -3 << "";
        QTest::newRow("empty") << "empty.mov" << 0 << "damaged, cut short";
        QTest::newRow("not a clip") << "junk.webm" << -2 << "damaged, cut short";
        // A playlist would have FFmpeg open the files it names: no such reader is ever tried.
        QTest::newRow("a playlist named like a clip") << "list.mp4" << -4 << "not a clip of a kind this program reads";
        QTest::newRow("hours claimed in kilobytes") << "long.mp4" << -5 << "more than they can hold";
    }

    void damagedClipsAreRefusedWithAReason()
    {
        QFETCH(QString, name);
        QFETCH(int, keep);
        QFETCH(QString, reason);
        QCOMPARE(made("whole.mp4"), QString());
        QByteArray bytes = TestPictures::readFile(path("whole.mp4"));
        if (keep == -3) { // the index at the front, the pictures cut at half
            QCOMPARE(ClipFiles::ffmpeg({"-i", path("whole.mp4"), "-c", "copy", "-movflags", "+faststart", path("front.mov")}), QString());
            bytes = TestPictures::readFile(path("front.mov"));
            QFile::remove(path("front.mov"));
            bytes.truncate(bytes.size() / 2);
        } else if (keep == -4) {
            bytes = "#EXTM3U\n#EXT-X-TARGETDURATION:10\n#EXTINF:10,\n" + path("whole.mp4").toUtf8() + "\n#EXT-X-ENDLIST\n";
        } else if (keep == -5) { // the movie header's time scale a unit a second, its length 68 years
            const qsizetype at = bytes.indexOf("mvhd") + 4 + 4 + 8;
            bytes.replace(at, 8, QByteArray("\x00\x00\x00\x01\x7F\xFF\xFF\xFF", 8));
        } else {
            bytes = keep == -2 ? QByteArray(5000, 'x') : bytes.left(keep);
        }
        TestPictures::writeFile(path(name), bytes);
        QCOMPARE(runAlbum(), RunOutcome::Completed);
        if (reason.isEmpty()) {
            QVERIFY2(m_notices.skipped.isEmpty(), qPrintable(m_notices.skipped.value(0).reason));
            const qint64 length = headerOf(path("vimbrel/web/" + name + ".mp4")).milliseconds;
            QVERIFY2(length > 300 && length < 1800, qPrintable(QString::number(length)));
            return;
        }
        QCOMPARE(m_notices.skipped.size(), 1);
        QCOMPARE(m_notices.skipped.first().name, name);
        QVERIFY2(m_notices.skipped.first().reason.contains(reason), qPrintable(m_notices.skipped.first().reason));
        QVERIFY(QFileInfo::exists(path("vimbrel/web/whole.mp4.mp4"))); // the good clip beside it is made
    }

    // Frames wider than a clip may be are refused from the header; at the
    // most, the clip is made.
    void framesPastTheMostAreRefused_data()
    {
        QTest::addColumn<int>("width");
        QTest::addColumn<bool>("shown");
        QTest::newRow("8192, the most") << 8192 << true;
        QTest::newRow("8194, past it") << 8194 << false;
    }

    void framesPastTheMostAreRefused()
    {
        QFETCH(int, width);
        QFETCH(bool, shown);
        QCOMPARE(made("wide.mp4", quadrants({width, 16}), 0.2, {"-c:v", "libx264", "-pix_fmt", "yuv420p", "-an"}), QString());
        QCOMPARE(runAlbum(), RunOutcome::Completed);
        QCOMPARE(m_notices.skipped.isEmpty(), shown);
        if (!shown)
            QVERIFY(m_notices.skipped.first().reason.contains("more than a clip holds (at most 8192 a side)"));
    }

    // The poster is the first key frame after a tenth of the clip (or a
    // second); a clip with none after it shows its first.
    void thePosterIsAKeyFrameAfterATenth_data()
    {
        QTest::addColumn<QString>("keyFrames"); // ffmpeg's -g: frames between key frames
        QTest::addColumn<QRgb>("poster");
        QTest::newRow("every frame a key frame: the one at the tenth") << "1" << qRgb(0, 128, 0);
        QTest::newRow("one key frame, at the start") << "250" << qRgb(255, 0, 0);
    }

    void thePosterIsAKeyFrameAfterATenth()
    {
        QFETCH(QString, keyFrames);
        QFETCH(QRgb, poster);
        // Red, then green for the one frame at the tenth of 2 s (0.2 s), then blue.
        QCOMPARE(ClipFiles::ffmpeg({"-f", "lavfi", "-i", "color=c=red:s=320x180:r=25:d=2,drawbox=c=green:t=fill:enable='between(t,0.19,0.21)',"
                                    "drawbox=c=blue:t=fill:enable='gte(t,0.23)'",
                                    "-c:v", "libx264", "-pix_fmt", "yuv420p", "-g", keyFrames, path("colours.mp4")}),
                 QString());
        QCOMPARE(runAlbum(), RunOutcome::Completed);
        const QImage image(path("vimbrel/web/colours.mp4.jpg"));
        const QRgb centre = image.pixel(image.width() / 2, image.height() / 2);
        QVERIFY2(std::abs(qRed(centre) - qRed(poster)) < 40 && std::abs(qGreen(centre) - qGreen(poster)) < 40,
                 qPrintable(QString::number(centre, 16)));
    }

    // Pixels wider than tall are shown wide, in the poster, the thumbnails
    // and a copy made anew (whose own pixels are square).
    void nonSquarePixelsAreShownWide()
    {
        QCOMPARE(made("wide.mkv", quadrants(frame), 1, {"-vf", "setsar=4/3", "-c:v", "mpeg4", "-an"}), QString());
        QCOMPARE(runAlbum(), RunOutcome::Completed);
        QCOMPARE(QImage(path("vimbrel/web/wide.mkv.jpg")).size(), QSize(427, 180));
        QCOMPARE(QImage(path("vimbrel/small/wide.mkv.jpg")).size(), QSize(256, 108));
        QCOMPARE(headerOf(path("vimbrel/web/wide.mkv.mp4")).displayed, QSize(426, 180));
    }

    // A copy that would cost more memory than a run may hold is not made:
    // the clip is shown by its poster, and the original offered.
    void aCopyTooCostlyShowsThePoster()
    {
        QCOMPARE(made("big.mkv", quadrants({3840, 2160}), 0.2, {"-c:v", "mpeg4", "-an"}), QString());
        QCOMPARE(runAlbum(), RunOutcome::Completed);
        QVERIFY(m_notices.skipped.isEmpty());
        QVERIFY(!QFileInfo::exists(path("vimbrel/web/big.mkv.mp4")));
        QCOMPARE(QImage(path("vimbrel/web/big.mkv.jpg")).size(), QSize(1920, 1080));
        const QByteArray page = TestPictures::readFile(path("vimbrel/pages/big.mkv.htm"));
        QVERIFY(!page.contains("<video"));
        QVERIFY(page.contains("download the original to play it"));
        const QStringList before = albumFiles();
        QCOMPARE(runAlbum(), RunOutcome::Completed);
        QCOMPARE(albumFiles(), before);
    }

    // A stop while a copy is made ends it at once, leaving no temporary and
    // no copy; the next run makes it whole.
    void aStopLeavesNoTemporary()
    {
        QCOMPARE(made("long.mkv", quadrants({640, 360}), 8, {"-c:v", "mpeg4", "-c:a", "mp3"}), QString());
        StopAtCopy notices;
        QCOMPARE(runAlbum(&notices, &notices.stop), RunOutcome::Cancelled);
        QVERIFY2(notices.told.startsWith("long.mkv 0:0") && notices.told.endsWith(" of 0:08"), qPrintable(notices.told));
        for (const QString &file : albumFiles())
            QVERIFY2(!file.startsWith("vimbrel/web/long.mkv.mp4"), qPrintable(file));
        QCOMPARE(runAlbum(), RunOutcome::Completed);
        QVERIFY(headerOf(path("vimbrel/web/long.mkv.mp4")).milliseconds >= 7900);
    }
};

QTEST_GUILESS_MAIN(ClipsTest)
#include "tst_clips.moc"
