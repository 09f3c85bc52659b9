#pragma once

#include <QComboBox>
#include <QHash>

/**
 * Drive1, the drive list. A drive is designated by its root path
 * ("/", "/media/usb", "C:/"). Assigning any path selects the drive that holds
 * it. Each drive remembers the folder last shown on it for the session,
 * which is where the folder list goes when the drive is chosen again.
 * UI thread only.
 */
class DriveList : public QComboBox
{
    Q_OBJECT

public:
    explicit DriveList(QWidget *parent);

    /** Offers roots as the drives; the selection moves to the drive holding the one shown before. */
    void setDrives(const QStringList &roots);

    /** Returns the root paths offered. */
    QStringList drives() const;

    /** Returns the selected drive's root path. */
    QString drive() const;

    /**
     * Selects the drive that holds path. Returns false, changing nothing, when
     * no drive holds it. driveChanged() follows only when the drive changes.
     */
    bool setDrive(const QString &path);

    /** Shows the drive that holds path without a driveChanged() notice. */
    void followFolder(const QString &path);

    /** Returns the folder last shown on drive this session; at first the drive's root. */
    QString currentFolder(const QString &drive) const;

    /** Remembers folder as the current folder of the drive that holds it. */
    void rememberFolder(const QString &folder);

    /** Goes back to the drive shown before the last change, without a notice. */
    void revert();

signals:
    /** The selected drive changed, chosen by the user or assigned. */
    void driveChanged();

private:
    void selectionMoved(int index);
    void selectQuietly(int index);

    QHash<QString, QString> m_currentFolders; // drive root -> folder
    int m_shown = -1;    // the drive the window works on
    int m_previous = -1; // the one before it, for revert()
};
