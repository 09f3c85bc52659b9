#pragma once

// Stand-ins for the window's outside services, so window tests never block
// on a modal box, never beep, and never touch the user's settings.

#include "common/Beeper.h"
#include "common/SettingsStore.h"
#include "window/Form1.h"
#include "window/MessageBoxes.h"

#include <QList>
#include <QString>
#include <QTemporaryDir>
#include <QWidget>

#include <memory>

/** Records each box instead of showing it. */
class RecordingBoxes : public MessageBoxes
{
public:
    struct Box {
        Icon icon;
        QString title;
        QString text;
        bool generateEnabled = false; // the state of Command1 while the box was up
    };

    void show(QWidget *parent, Icon icon, const QString &title, const QString &text) override
    {
        Box box{icon, title, text};
        if (const QWidget *command1 = parent ? parent->findChild<QWidget *>(QStringLiteral("Command1")) : nullptr)
            box.generateEnabled = command1->isEnabled();
        boxes.append(box);
    }

    QList<Box> boxes;
};

/** Counts beeps. */
class CountingBeeper : public Beeper
{
public:
    void beep() override { ++beeps; }
    int beeps = 0;
};

/**
 * What a window test gives its window: a fresh folder holding the settings
 * file in place of the user's, recording boxes and a counting beeper.
 */
struct WindowServices {
    std::unique_ptr<QTemporaryDir> dir;
    std::unique_ptr<QSettingsStore> settings;
    RecordingBoxes boxes;
    CountingBeeper beeper;

    /** Starts a test case afresh; returns false when no folder can be made. */
    bool reset()
    {
        dir = std::make_unique<QTemporaryDir>();
        if (!dir->isValid())
            return false;
        settings = std::make_unique<QSettingsStore>(dir->filePath(QStringLiteral("settings.ini")));
        boxes.boxes.clear();
        beeper.beeps = 0;
        return true;
    }

    /** Returns a main window on these services, offering drives (empty: the mounted ones). */
    std::unique_ptr<Form1> makeWindow(const QStringList &drives = {})
    {
        return std::make_unique<Form1>(Form1Services{*settings, boxes, beeper, drives});
    }
};
