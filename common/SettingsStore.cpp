#include "SettingsStore.h"

#include <QSettings>

#include <memory>

namespace {

const QString groupName = QStringLiteral("Divers");
const QString keyName = QStringLiteral("Path");
const QString styleKey = QStringLiteral("PageStyle");
const QString galleryValue = QStringLiteral("Gallery");
const QString classicValue = QStringLiteral("Classic");
const QString orderKey = QStringLiteral("Order");
const QString dateValue = QStringLiteral("Date");
const QString nameValue = QStringLiteral("Name");
const QString subFoldersKey = QStringLiteral("SubFolders");

// A fresh QSettings per use: cheap, and safe when the run saves from a worker thread.
std::unique_ptr<QSettings> openSettings(const QString &iniFile)
{
    if (!iniFile.isEmpty())
        return std::make_unique<QSettings>(iniFile, QSettings::IniFormat);
    return std::make_unique<QSettings>(QStringLiteral("Vimbrel"), QStringLiteral("Vimbrel"));
}

} // namespace

QSettingsStore::QSettingsStore(const QString &iniFile)
    : m_iniFile(iniFile)
{
}

QString QSettingsStore::path() const
{
    const auto settings = openSettings(m_iniFile);
    return settings->value(groupName + QLatin1Char('/') + keyName).toString();
}

bool QSettingsStore::savePath(const QString &folder)
{
    const auto settings = openSettings(m_iniFile);
    settings->setValue(groupName + QLatin1Char('/') + keyName, folder);
    settings->sync();
    return settings->status() == QSettings::NoError;
}

PageStyle QSettingsStore::pageStyle() const
{
    const auto settings = openSettings(m_iniFile);
    const QString stored = settings->value(groupName + QLatin1Char('/') + styleKey).toString();
    return stored == galleryValue ? PageStyle::Gallery : PageStyle::Classic;
}

bool QSettingsStore::savePageStyle(PageStyle style)
{
    const auto settings = openSettings(m_iniFile);
    settings->setValue(groupName + QLatin1Char('/') + styleKey,
                       style == PageStyle::Gallery ? galleryValue : classicValue);
    settings->sync();
    return settings->status() == QSettings::NoError;
}

PictureOrder QSettingsStore::pictureOrder() const
{
    const auto settings = openSettings(m_iniFile);
    return settings->value(groupName + QLatin1Char('/') + orderKey).toString() == dateValue ? PictureOrder::Date
                                                                                          : PictureOrder::Name;
}

bool QSettingsStore::savePictureOrder(PictureOrder order)
{
    const auto settings = openSettings(m_iniFile);
    settings->setValue(groupName + QLatin1Char('/') + orderKey, order == PictureOrder::Date ? dateValue : nameValue);
    settings->sync();
    return settings->status() == QSettings::NoError;
}

bool QSettingsStore::includeSubFolders() const
{
    const auto settings = openSettings(m_iniFile);
    return settings->value(groupName + QLatin1Char('/') + subFoldersKey).toString() == QLatin1String("true");
}

bool QSettingsStore::saveIncludeSubFolders(bool include)
{
    const auto settings = openSettings(m_iniFile);
    settings->setValue(groupName + QLatin1Char('/') + subFoldersKey, include ? QStringLiteral("true") : QStringLiteral("false"));
    settings->sync();
    return settings->status() == QSettings::NoError;
}
