#pragma once

#include <QString>

/**
 * Mounts a small memory file system over a folder, and unmounts it when
 * done. Needs root and mount rights; mounted() says whether it worked.
 */
class SmallDisk
{
public:
    explicit SmallDisk(const QString &folder, const QString &size = QStringLiteral("128k"));
    ~SmallDisk();
    SmallDisk(const SmallDisk &) = delete;
    SmallDisk &operator=(const SmallDisk &) = delete;

    bool mounted() const { return m_mounted; }

private:
    QString m_folder;
    bool m_mounted = false;
};

/** Fills the disk of folder with the file "filler", then frees freeBlocks blocks of 4 KiB of it. */
bool fillDisk(const QString &folder, int freeBlocks);
