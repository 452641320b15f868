// Settings that stay between runs: how the chart is set up, the trigger, each board's channels,
// the last recording folder and the look. They live in one INI file, the user's
// $XDG_CONFIG_HOME/zelmor/zelmor.conf unless --settings=FILE names another or --no-settings
// asks for none. The file is outside input: every value is checked as it is read, a bad one
// falls back to its default alone, and a file that cannot be used at all gives the defaults
// and one notice for the status line, never a crash.
#pragma once

#include <QString>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "engine/channels.h"
#include "engine/chart/chart_setup.h"
#include "engine/chart/level_trigger.h"

namespace engine {

// The panels' look (looks.h applies it): the desktop's own, or a light or dark one of ours.
enum class Look { desktop, light, dark };
// The word a settings file names it by: "desktop", "light" or "dark".
const char* LookWord(Look look);

struct StoredSettings {
    ChartSetup chart;
    TriggerSetup trigger;                                    // mode off: none
    std::map<unsigned, std::vector<ChannelSetup>> channels;  // per port base address
    QString recordingFolder;                                 // the last folder a recording went to
    std::optional<Look> look;
    bool operator==(const StoredSettings& o) const {
        return chart == o.chart && trigger == o.trigger && channels == o.channels &&
               recordingFolder == o.recordingFolder && look == o.look;
    }
};

// What reading a settings file gave.
struct SettingsRead {
    StoredSettings settings;
    // One line for the status line when the file could not be used whole; empty when it could
    // (or there is no file yet).
    std::string notice;
    // False when the file must be left as it is: written by a newer version, or not readable.
    bool writable = true;
};
// Reads `path`; `oldLooks`, when not empty, is the file the look was kept in before, read for
// the look only when `path` names none.
SettingsRead ReadSettings(const QString& path, const QString& oldLooks = QString());
// Writes the settings to `path` whole or not at all (the folder is made when missing). False
// when it cannot, and `error` says where and why in one line.
bool WriteSettings(const QString& path, const StoredSettings& settings, std::string& error);

// Reads the file in use afresh (with the look's old file, zelmor.ini beside it, at the
// standard place).
SettingsRead ReadPlacedSettings();

// The process's settings. Start-up places them from the options before anything asks.
void PlaceSettings(const std::string& file, bool none);
// The file in use; empty with --no-settings.
QString SettingsPath();
// The settings, read at the first asking.
const StoredSettings& CurrentSettings();
// What the status line should say about the settings, once: the notice from reading them, then
// the first of a row of failed saves. Empty when there is nothing new.
QString TakeSettingsNotice();
// Changes the settings and saves them. False when they could not be saved (TakeSettingsNotice
// then says where and why). A file left as it is (written by a newer version, or not readable)
// is not written: the change holds for this run only.
bool ChangeSettings(const std::function<void(StoredSettings&)>& change);

namespace testing {
// Forgets the settings read, so that the next asking reads the file again.
void ForgetSettings();
}  // namespace testing

}  // namespace engine
