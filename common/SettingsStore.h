#pragma once

#include "common/PageStyle.h"
#include "common/PictureOrder.h"

#include <QString>

/** The per-user settings entry: the folder of the last generation run and the page style. */
class SettingsStore
{
public:
    virtual ~SettingsStore() = default;

    /** Returns the stored folder, or an empty text when none is stored. */
    virtual QString path() const = 0;

    /** Stores folder for the next start; returns false when it could not be saved. */
    virtual bool savePath(const QString &folder) = 0;

    /** Returns the page style chosen in the window; classic unless another is stored. */
    virtual PageStyle pageStyle() const { return PageStyle::Classic; }

    /** Stores style for the next start; returns false when it could not be saved. */
    virtual bool savePageStyle(PageStyle) { return false; }

    /** Returns the gallery's order chosen in the window; by name unless another is stored. */
    virtual PictureOrder pictureOrder() const { return PictureOrder::Name; }

    /** Stores order for the next start; returns false when it could not be saved. */
    virtual bool savePictureOrder(PictureOrder) { return false; }

    /** Returns whether the gallery includes sub-folders, as chosen in the window; not unless stored. */
    virtual bool includeSubFolders() const { return false; }

    /** Stores whether the gallery includes sub-folders; returns false when it could not be saved. */
    virtual bool saveIncludeSubFolders(bool) { return false; }
};

/**
 * The settings entry kept through QSettings: organisation and application
 * "Vimbrel", group "Divers", keys "Path", "PageStyle" ("Classic" or
 * "Gallery"; absent or anything else reads as classic) and "Order" ("Name"
 * or "Date"; absent or anything else reads as by name) and "SubFolders"
 * ("true" or anything else). An ini file name, when given,
 * replaces the user's store (tests use it). Safe to use from any thread.
 */
class QSettingsStore : public SettingsStore
{
public:
    explicit QSettingsStore(const QString &iniFile = {});

    QString path() const override;
    bool savePath(const QString &folder) override;
    PageStyle pageStyle() const override;
    bool savePageStyle(PageStyle style) override;
    PictureOrder pictureOrder() const override;
    bool savePictureOrder(PictureOrder order) override;
    bool includeSubFolders() const override;
    bool saveIncludeSubFolders(bool include) override;

private:
    QString m_iniFile;
};
